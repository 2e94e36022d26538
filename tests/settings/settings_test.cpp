// The settings over the system's store: the same cases run against the
// REGEDIT4 file on Linux and against the registry under Wine.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "settings/app_settings.h"
#include "settings/scratch_settings.h"

namespace value = settings_value;

void expectFirstRunValues(const AppSettings& s) {
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.baudRate, 1);
    EXPECT_EQ(s.autoBaudRate, 0);
    EXPECT_EQ(s.outputPathText(), platformDefaultOutputDirectory());
    EXPECT_EQ(s.autoName, 0);
    EXPECT_EQ(s.autoSave, 0);
    EXPECT_EQ(s.devicePath(1), systemDefaultPortDevice(1));
    EXPECT_EQ(s.devicePath(2), systemDefaultPortDevice(2));
}

namespace {

RegistryValue text(const char* name, std::string_view s) {
    std::vector<uint8_t> data(s.begin(), s.end());
    data.push_back(0);
    return {name, regtype::String, data};
}

class SettingsStoreTest : public testing::Test {
  protected:
    // Stores `values` in the settings' key, then loads the settings.
    AppSettings loadFrom(std::vector<RegistryValue> values) {
        const std::unique_ptr<SettingsStore> store = settingsOpenStore(where());
        for (RegistryValue& v : values) store->setValue(std::move(v));
        EXPECT_TRUE(store->commit());
        AppSettings s;
        settingsLoad(s, where());
        return s;
    }
    std::vector<uint8_t> stored(const char* name) {
        const std::unique_ptr<SettingsStore> store = settingsOpenStore(where());
        const RegistryValue* v = store->value(name);
        return v ? v->data : std::vector<uint8_t>{};
    }
    const std::string& where() const { return scratch_.location(); }

    ScratchSettings scratch_;
};

TEST_F(SettingsStoreTest, FirstRunCreatesTheStoreWithTheDefaultsInTheirTypes) {
    AppSettings s;
    s.commPort = 9;  // must be replaced by the load
    EXPECT_TRUE(settingsLoad(s, where()));
    expectFirstRunValues(s);
    EXPECT_EQ(s.devicePath(0), "");
    EXPECT_EQ(s.devicePath(3), "");

    const std::unique_ptr<SettingsStore> store = settingsOpenStore(where());
    EXPECT_FALSE(store->keyCreatedNow());
    const std::vector<std::tuple<const char*, uint32_t, std::vector<uint8_t>>> expected = {
        {value::OutputPath, regtype::String, text("", platformDefaultOutputDirectory()).data},
        {value::CommPort, regtype::Dword, {1, 0, 0, 0}},
        {value::BaudRate, regtype::Dword, {1, 0, 0, 0}},
        {value::AutoBaudRate, regtype::Dword, {0, 0, 0, 0}},
        {value::AutoName, regtype::Binary, {0}},
        {value::AutoSave, regtype::Binary, {0}},
        {value::Com1Device, regtype::String, text("", systemDefaultPortDevice(1)).data},
        {value::Com2Device, regtype::String, text("", systemDefaultPortDevice(2)).data},
    };
    for (const auto& [name, type, data] : expected) {
        const RegistryValue* v = store->value(name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_EQ(v->type, type) << name;
        EXPECT_EQ(v->data, data) << name;
    }
}

TEST_F(SettingsStoreTest, ValuesOfTheWrongTypeOrSizeLoadAsDefaults) {
    expectFirstRunValues(loadFrom({
        text(value::CommPort, "2"),
        {value::BaudRate, regtype::Binary, {5}},
        {value::AutoBaudRate, regtype::Dword, {5, 0}},
        {value::AutoName, regtype::Dword, {1, 0, 0, 0}},
        {value::AutoSave, regtype::Binary, {1, 1}},
        text(value::Com1Device, ""),
        {value::Com2Device, regtype::Dword, {2, 0, 0, 0}},
        text(value::OutputPath, "/" + std::string(511, 'p')),  // 513 bytes with the NUL
    }));
}

// A flag byte is sign-extended, and saved back as it was.
TEST_F(SettingsStoreTest, NumbersKeepTheirLowByteAndThePathEndsAtItsNulOr511Characters) {
    const std::string longest = "/" + std::string(510, 'd');
    const AppSettings s = loadFrom({{value::CommPort, regtype::Dword, {3, 1, 0, 0}},
                                    {value::BaudRate, regtype::Dword, {9, 0, 0, 0}},
                                    {value::AutoBaudRate, regtype::Dword, {0, 0xFF, 0xFF, 0xFF}},
                                    {value::AutoName, regtype::Binary, {0xFF}},
                                    {value::AutoSave, regtype::Binary, {0x80}},
                                    text(value::OutputPath, longest)});
    EXPECT_EQ(s.commPort, 3);  // out of range, but kept for the window to report
    EXPECT_EQ(s.baudRate, 9);
    EXPECT_EQ(s.autoBaudRate, 0);
    EXPECT_EQ(s.autoName, -1);
    EXPECT_EQ(s.autoSave, -128);
    EXPECT_EQ(s.outputPathText(), longest);
    ASSERT_TRUE(settingsSave(s, where()));
    EXPECT_EQ(stored(value::AutoName), std::vector<uint8_t>{0xFF});
    EXPECT_EQ(loadFrom({{value::OutputPath, regtype::String, {'/', 't', 0, 'x'}}}).outputPathText(),
              "/t");

    AppSettings cut;
    cut.setOutputPath(std::string(600, 'x'));
    EXPECT_EQ(cut.outputPathText(), std::string(511, 'x'));
    EXPECT_EQ(cut.outputPath[511], '\0');
}

// Reading writes nothing; neither a load of a key that lacks values nor a
// rate-only save completes it, a save does.
TEST_F(SettingsStoreTest, OnlyASaveCompletesAKeyThatLacksValues) {
    expectFirstRunValues(settingsRead(where()));
    EXPECT_TRUE(settingsOpenStore(where())->keyCreatedNow());

    const AppSettings s = loadFrom({{value::CommPort, regtype::Dword, {2, 0, 0, 0}}});
    EXPECT_EQ(s.commPort, 2);
    EXPECT_EQ(s.outputPathText(), platformDefaultOutputDirectory());
    ASSERT_TRUE(settingsSaveAutoBaudRate(5, where()));
    EXPECT_EQ(settingsRead(where()).autoBaudRate, 5);
    EXPECT_EQ(settingsRead(where()).commPort, 2);
    EXPECT_EQ(stored(value::BaudRate), std::vector<uint8_t>{});

    ASSERT_TRUE(settingsSave(s, where()));
    for (const char* name :
         {value::OutputPath, value::CommPort, value::BaudRate, value::AutoBaudRate, value::AutoName,
          value::AutoSave, value::Com1Device, value::Com2Device}) {
        EXPECT_FALSE(stored(name).empty()) << name;
    }
}

}  // namespace
