#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/registry_store.h"
#include "support/test_support.h"

namespace {

namespace value = settings_value;

std::string readText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const std::string& path, const std::string& text) {
    writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A settings file with the given value lines under the settings key.
std::string storeText(const std::string& valueLines) {
    return "REGEDIT4\n\n[" + std::string(kSettingsKey) + "]\n" + valueLines;
}

void expectFirstRunValues(const AppSettings& s) {
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.baudRate, 1);
    EXPECT_EQ(s.autoBaudRate, 0);
    EXPECT_EQ(s.outputPathText(), platformDefaultOutputDirectory());
    EXPECT_EQ(s.autoName, 0);
    EXPECT_EQ(s.autoSave, 0);
    EXPECT_EQ(s.com1Device, "/dev/ttyS0");
    EXPECT_EQ(s.com2Device, "/dev/ttyUSB0");
}

class SettingsStore : public testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directory(dir_.file("Orvane")); }

    TempDir dir_;
    const std::string path_ = dir_.file("Orvane/GPSLumagrab.reg");
};

TEST_F(SettingsStore, FirstRunWritesTheDefaultsWithTheirTypesAndReadsThemBack) {
    AppSettings s;
    s.commPort = 9;  // must be replaced by the load
    EXPECT_TRUE(settingsLoad(s, path_));
    expectFirstRunValues(s);

    RegistryStore store(path_, kSettingsKey);
    EXPECT_FALSE(store.keyCreatedNow());
    const std::string desktop = platformDefaultOutputDirectory();
    std::vector<uint8_t> pathBytes(desktop.begin(), desktop.end());
    pathBytes.push_back(0);
    const std::vector<std::tuple<const char*, uint32_t, std::vector<uint8_t>>> expected = {
        {value::OutputPath, regtype::String, pathBytes},
        {value::CommPort, regtype::Dword, {1, 0, 0, 0}},
        {value::BaudRate, regtype::Dword, {1, 0, 0, 0}},
        {value::AutoBaudRate, regtype::Dword, {0, 0, 0, 0}},
        {value::AutoName, regtype::Binary, {0}},
        {value::AutoSave, regtype::Binary, {0}},
    };
    for (const auto& [name, type, data] : expected) {
        const RegistryValue* v = store.value(name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_EQ(v->type, type) << name;
        EXPECT_EQ(v->data, data) << name;
    }
    // The file is plain REGEDIT4 text in the order the values were written.
    const std::string text = readText(path_);
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_LT(text.find("\"OutputPath\"="), text.find("\"CommPort\"=dword:00000001"));
    EXPECT_LT(text.find("\"AutoBaudRate\"=dword:00000000"), text.find("\"AutoName\"=hex:00"));
    EXPECT_LT(text.find("\"AutoName\"=hex:00"), text.find("\"AutoSave\"=hex:00"));
}

TEST_F(SettingsStore, AStoredFlagByteIsSignExtendedAndSavedBackAsItWas) {
    writeText(path_, storeText("\"AutoName\"=hex:ff\n\"AutoSave\"=hex:80\n"));
    AppSettings s;
    settingsLoad(s, path_);
    EXPECT_EQ(s.autoName, -1);
    EXPECT_EQ(s.autoSave, -128);

    ASSERT_TRUE(settingsSave(s, path_));
    EXPECT_EQ(RegistryStore(path_, kSettingsKey).value(value::AutoName)->data,
              std::vector<uint8_t>{0xFF});

    s.autoName = s.autoName ? 0 : 1;  // one toggle from the menu
    ASSERT_TRUE(settingsSave(s, path_));
    EXPECT_EQ(RegistryStore(path_, kSettingsKey).value(value::AutoName)->data,
              std::vector<uint8_t>{0x00});
}

TEST_F(SettingsStore, AKeyLackingValuesIsNotCompletedByLoadButIsBySave) {
    const std::string original = storeText("\"BaudRate\"=dword:00000005\n");
    writeText(path_, original);
    AppSettings s;
    EXPECT_TRUE(settingsLoad(s, path_));
    EXPECT_EQ(s.baudRate, 5);
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.outputPathText(), platformDefaultOutputDirectory());
    EXPECT_EQ(readText(path_), original);

    ASSERT_TRUE(settingsSave(s, path_));
    RegistryStore store(path_, kSettingsKey);
    for (const char* name :
         {value::OutputPath, value::CommPort, value::BaudRate, value::AutoBaudRate, value::AutoName,
          value::AutoSave, value::Com1Device, value::Com2Device}) {
        EXPECT_NE(store.value(name), nullptr) << name;
    }
}

TEST_F(SettingsStore, ValuesOfTheWrongTypeOrSizeLoadAsDefaults) {
    writeText(path_, storeText("\"CommPort\"=\"2\"\n"
                               "\"BaudRate\"=hex:05\n"
                               "\"AutoBaudRate\"=hex(4):05,00\n"
                               "\"AutoName\"=dword:00000001\n"
                               "\"AutoSave\"=hex:01,01\n"
                               "\"OutputPath\"=\"" +
                               std::string(600, 'p') +
                               "\"\n"
                               "\"Com1Device\"=\"\"\n"
                               "\"Com2Device\"=dword:00000002\n"));
    AppSettings s;
    settingsLoad(s, path_);
    expectFirstRunValues(s);
}

TEST_F(SettingsStore, OutOfRangeNumbersAreKeptAndOnlyTheLowByteCounts) {
    writeText(path_, storeText("\"CommPort\"=dword:00000103\n"
                               "\"BaudRate\"=dword:00000009\n"
                               "\"AutoBaudRate\"=dword:ffffff00\n"));
    AppSettings s;
    settingsLoad(s, path_);
    EXPECT_EQ(s.commPort, 3);
    EXPECT_EQ(s.baudRate, 9);
    EXPECT_EQ(s.autoBaudRate, 0);
}

TEST_F(SettingsStore, OutputPathFitsExactlyFiveHundredElevenCharacters) {
    const std::string longest(511, 'd');
    writeText(path_, storeText("\"OutputPath\"=\"/" + longest.substr(1) + "\"\n"));
    AppSettings s;
    settingsLoad(s, path_);
    EXPECT_EQ(s.outputPathText().size(), 511u);

    writeText(path_, storeText("\"OutputPath\"=\"/" + longest + "\"\n"));
    settingsLoad(s, path_);
    EXPECT_EQ(s.outputPathText(), platformDefaultOutputDirectory());

    // Bytes after an embedded NUL are not part of the path.
    writeText(path_, storeText("\"OutputPath\"=hex(1):2f,74,00,78\n"));
    settingsLoad(s, path_);
    EXPECT_EQ(s.outputPathText(), "/t");

    s.setOutputPath(std::string(600, 'x'));
    EXPECT_EQ(s.outputPathText(), std::string(511, 'x'));
    EXPECT_EQ(s.outputPath[511], '\0');
}

TEST_F(SettingsStore, AMalformedOrTruncatedFileLoadsDefaultsAndIsKeptAsBackup) {
    AppSettings good;
    good.commPort = 2;
    good.setOutputPath("/srv/shots");
    ASSERT_TRUE(settingsSave(good, path_));
    const std::string whole = readText(path_);
    const std::string truncated = whole.substr(0, whole.find("/srv/sh") + 7);

    for (const std::string& bad : {truncated, std::string("\x01\x02 not a registry file")}) {
        writeText(path_, bad);
        AppSettings s;
        EXPECT_TRUE(settingsLoad(s, path_));
        expectFirstRunValues(s);
        EXPECT_EQ(readText(path_ + ".bak"), bad);
        AppSettings reread;
        settingsLoad(reread, path_);  // the rewritten file is whole again
        expectFirstRunValues(reread);
        EXPECT_EQ(RegistryStore(path_, kSettingsKey).fileState(), RegistryStore::FileState::Loaded);
    }
}

TEST_F(SettingsStore, SaveKeepsWhatElseTheFileHolds) {
    writeText(path_,
              storeText("\"Extra\"=\"mine\"\n") + "\n[HKEY_LOCAL_MACHINE\\Other]\n@=hex:01\n");
    AppSettings s = settingsFirstRunDefaults();
    s.baudRate = 6;
    ASSERT_TRUE(settingsSave(s, path_));
    RegistryStore store(path_, kSettingsKey);
    EXPECT_NE(store.value("Extra"), nullptr);
    EXPECT_EQ(store.value(value::BaudRate)->data, (std::vector<uint8_t>{6, 0, 0, 0}));
    EXPECT_NE(readText(path_).find("[HKEY_LOCAL_MACHINE\\Other]\n@=hex:01\n"), std::string::npos);
}

TEST_F(SettingsStore, ReadingAloneWritesNothingAndRateOnlySaveTouchesOneValue) {
    AppSettings s = settingsRead(path_);
    expectFirstRunValues(s);
    EXPECT_FALSE(fileExists(path_));

    writeText(path_, storeText("\"CommPort\"=dword:00000002\n\"AutoBaudRate\"=dword:00000002\n"));
    ASSERT_TRUE(settingsSaveAutoBaudRate(5, path_));
    s = settingsRead(path_);
    EXPECT_EQ(s.autoBaudRate, 5);
    EXPECT_EQ(s.commPort, 2);
    EXPECT_EQ(RegistryStore(path_, kSettingsKey).value(value::BaudRate), nullptr);
}

TEST_F(SettingsStore, AnUnwritableLocationStillLoadsDefaultsAndSaysSo) {
    writeText(dir_.file("blocker"), "x");
    const std::string unreachable = dir_.file("blocker/Orvane/GPSLumagrab.reg");
    AppSettings s;
    EXPECT_FALSE(settingsLoad(s, unreachable));
    expectFirstRunValues(s);
    s.commPort = 2;
    EXPECT_FALSE(settingsSave(s, unreachable));
}

TEST(AppSettingsDevicePath, NamesTheDeviceOfEachPortAndNothingElse) {
    AppSettings s;
    s.com1Device = "/dev/serial/by-id/usb-one";
    EXPECT_EQ(s.devicePath(1), "/dev/serial/by-id/usb-one");
    EXPECT_EQ(s.devicePath(2), "/dev/ttyUSB0");
    EXPECT_EQ(s.devicePath(0), "");
    EXPECT_EQ(s.devicePath(3), "");
}

}  // namespace
