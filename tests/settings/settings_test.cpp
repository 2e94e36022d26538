// The registry-file store and the settings kept in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file_commit.h"
#include "platform/platform.h"
#include "platform/registry_store.h"
#include "settings/app_settings.h"
#include "support/test_support.h"

namespace {

std::string readText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void writeText(const std::string& path, std::string_view text) {
    writeFileBytes(path, {text.begin(), text.end()});
}

std::vector<uint8_t> bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key";

size_t entriesIn(const std::string& dir) {
    return std::distance(std::filesystem::directory_iterator(dir),
                         std::filesystem::directory_iterator());
}

TEST(RegistryDocument, ReadsEveryValueFormLineEndingAndContinuation) {
    const std::string text =
        "REGEDIT4\r\n\r\n; written by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\r\n"
        "\"Path\"=\"C:\\\\Data \\\"quoted\\\"\"\r\n"
        "\"Number\"=dword:0001e240\r\n"
        "\"Bytes\"=hex:00,7f,\\\r\n  80,FF\r\n"
        "\"Multi\"=hex(7):41,00,00\r\n"
        "@=\"default\"\n\n"
        "[hkey_local_machine\\software\\other]\n"
        "\"Empty\"=hex:\n";
    RegistryDocument doc;
    ASSERT_TRUE(doc.parse(text));
    ASSERT_EQ(doc.keys().size(), 2u);
    const std::string other = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other";
    const std::vector<std::tuple<std::string, const char*, uint32_t, std::vector<uint8_t>>>
        expected = {
            {kKey, "path", regtype::String, bytesOf({"C:\\Data \"quoted\"\0", 17})},  // any case
            {kKey, "Number", regtype::Dword, {0x40, 0xE2, 0x01, 0x00}},
            {kKey, "Bytes", regtype::Binary, {0x00, 0x7F, 0x80, 0xFF}},
            {kKey, "Multi", 7u, {0x41, 0, 0}},
            {kKey, "", regtype::String, bytesOf({"default\0", 8})},
            {other, "Empty", regtype::Binary, {}},
        };
    for (const auto& [key, name, type, data] : expected) {
        const RegistryValue* v = doc.findValue(key, name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_EQ(v->type, type) << name;
        EXPECT_EQ(v->data, data) << name;
    }
}

TEST(RegistryDocument, RejectsMalformedTextWhole) {
    const std::string head = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"Good\"=dword:00000001\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty file", ""},
        {"other header", "REGEDIT5\n[K]\n"},
        {"value before any key", "REGEDIT4\n\"A\"=dword:00000001\n"},
        {"unknown line", head + "garbage\n"},
        {"unterminated string (truncated file)", head + "\"Path\"=\"/home/us"},
        {"unknown escape", head + "\"A\"=\"a\\nb\"\n"},
        {"text after a string", head + "\"A\"=\"a\" x\n"},
        {"dword too long", head + "\"A\"=dword:000000001\n"},
        {"dword too short (truncated file)", head + "\"A\"=dword:0000"},
        {"hex item too long", head + "\"A\"=hex:001\n"},
        {"hex list with a hole", head + "\"A\"=hex:01,,02\n"},
        {"deleted value", head + "\"A\"=-\n"},
        {"deleted key", head + "[-HKEY_LOCAL_MACHINE\\K]\n"},
        {"no equals sign", head + "\"A\" dword:00000001\n"},
    };
    for (const auto& [what, text] : cases) {
        RegistryDocument doc;
        doc.createKey("leftover");
        EXPECT_FALSE(doc.parse(text)) << what;
        EXPECT_TRUE(doc.keys().empty()) << what;
    }
}

TEST(RegistryDocument, WritesWhatItReadsBackIdenticallyAndReplacesValuesInPlace) {
    RegistryDocument doc;
    doc.setValue(kKey, {"Plain", regtype::String, bytesOf({"a\\b\"c\xC3\xA9\0", 8})});
    // Control characters and a missing NUL cannot be written in quotes.
    doc.setValue(kKey, {"Newline", regtype::String, bytesOf({"a\nb\0", 4})});
    doc.setValue(kKey, {"NoNul", regtype::String, bytesOf("abc")});
    doc.setValue(kKey, {"Short", regtype::Dword, {1, 2}});
    doc.setValue(kKey, {"Word", regtype::Dword, {0x78, 0x56, 0x34, 0x12}});
    doc.setValue(kKey, {"Blob", regtype::Binary, {0, 255}});
    doc.setValue(kKey, {"", 0xABCDEF01u, {9}});
    doc.setValue(kKey, {"PLAIN", regtype::String, bytesOf({"a\\b\"c\xC3\xA9\0", 8})});
    ASSERT_EQ(doc.keys().at(0).values.size(), 7u);  // "PLAIN" replaced "Plain" where it was
    EXPECT_EQ(doc.keys()[0].values[0].name, "PLAIN");

    const std::string text = doc.serialize();
    EXPECT_NE(text.find("\"PLAIN\"=\"a\\\\b\\\"c\xC3\xA9\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Word\"=dword:12345678\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Newline\"=hex(1):61,0a,62,00\n"), std::string::npos) << text;

    RegistryDocument again;
    ASSERT_TRUE(again.parse(text)) << text;
    ASSERT_EQ(again.keys().size(), 1u);
    const auto& original = doc.keys()[0].values;
    const auto& reread = again.keys()[0].values;
    ASSERT_EQ(reread.size(), original.size());
    for (size_t i = 0; i < original.size(); ++i) {
        EXPECT_EQ(reread[i].name, original[i].name);
        EXPECT_EQ(reread[i].type, original[i].type) << original[i].name;
        EXPECT_EQ(reread[i].data, original[i].data) << original[i].name;
    }
}

TEST(RegistryStore, KeepsAnOversizedOrNonRegularFileAsBackupOnceBeforeRewriting) {
    TempDir dir;
    const std::string big = dir.file("big.reg");
    const std::string oversized = "REGEDIT4\n;" + std::string(kRegistryFileMax, 'x') + "\n";
    writeText(big, oversized);
    RegistryStore bigStore(big, kKey);
    EXPECT_EQ(bigStore.fileState(), RegistryStore::FileState::Unusable);
    ASSERT_TRUE(bigStore.commit());
    ASSERT_TRUE(bigStore.commit());  // must not replace the backup with the good file
    EXPECT_EQ(readText(big + ".bak"), oversized);
    EXPECT_EQ(RegistryStore(big, kKey).fileState(), RegistryStore::FileState::Loaded);

    const std::string folder = dir.file("folder.reg");
    std::filesystem::create_directory(folder);
    RegistryStore store(folder, kKey);
    EXPECT_EQ(store.fileState(), RegistryStore::FileState::Unusable);
    ASSERT_TRUE(store.commit());
    EXPECT_TRUE(std::filesystem::is_directory(folder + ".bak"));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder));
}

TEST(RegistryStore, AFailedWriteReportsFalseAndLeavesNoTemporaryFile) {
    TempDir dir;
    // A parent that is a regular file stops the write, even for root.
    writeText(dir.file("notadir"), "x");
    RegistryStore store(dir.file("notadir/store.reg"), kKey);
    store.setDword("Port", 1);
    EXPECT_FALSE(store.commit());

    // A rename cannot replace a directory: the write fails after the
    // temporary file was made, and must take it away again.
    std::filesystem::create_directory(dir.file("taken.reg"));
    EXPECT_FALSE(registryWriteFileAtomically(dir.file("taken.reg"), "REGEDIT4\n"));
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST(RegistryStoreDeathTest, ACrashBeforeTheRenameLeavesTheOldFileWhole) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.file("store.reg");
    {
        RegistryStore store(path, kKey);
        store.setString("Dir", "/old");
        ASSERT_TRUE(store.commit());
    }
    const std::string before = readText(path);
    EXPECT_EXIT(
        {
            fileSetBeforeRenameHook([](const std::string&) { _exit(3); });
            RegistryStore store(path, kKey);
            store.setString("Dir", "/new/and/much/longer/than/before");
            store.commit();
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(readText(path), before);
    EXPECT_EQ(RegistryStore(path, kKey).fileState(), RegistryStore::FileState::Loaded);
}

// --- The settings ---------------------------------------------------------

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

class SettingsStore : public testing::Test {
  protected:
    // Writes a store whose settings key holds `valueLines`, then loads it.
    AppSettings loadFrom(const std::string& valueLines) {
        std::filesystem::create_directories(dir_.file("Orvane"));
        writeText(path_, "REGEDIT4\n\n[" + std::string(kSettingsKey) + "]\n" + valueLines);
        AppSettings s;
        settingsLoad(s, path_);
        return s;
    }
    std::vector<uint8_t> stored(const char* name) {
        const RegistryStore store(path_, kSettingsKey);
        const RegistryValue* v = store.value(name);
        return v ? v->data : std::vector<uint8_t>{};
    }

    TempDir dir_;
    const std::string path_ = dir_.file("Orvane/GPSLumagrab.reg");
};

TEST_F(SettingsStore, FirstRunCreatesTheStoreWithTheDefaultsInTheirTypes) {
    AppSettings s;
    s.commPort = 9;  // must be replaced by the load
    EXPECT_TRUE(settingsLoad(s, path_));
    expectFirstRunValues(s);
    EXPECT_EQ(s.devicePath(0), "");
    EXPECT_EQ(s.devicePath(3), "");

    RegistryStore store(path_, kSettingsKey);
    EXPECT_FALSE(store.keyCreatedNow());
    std::vector<uint8_t> desktop = bytesOf(platformDefaultOutputDirectory());
    desktop.push_back(0);
    const std::vector<std::tuple<const char*, uint32_t, std::vector<uint8_t>>> expected = {
        {value::OutputPath, regtype::String, desktop},
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
    EXPECT_EQ(readText(path_).rfind("REGEDIT4\n", 0), 0u);
    EXPECT_EQ(entriesIn(dir_.file("Orvane")), 1u);  // no temporary file left beside it
}

TEST_F(SettingsStore, AStoredFlagByteIsSignExtendedAndSavedBackAsItWas) {
    AppSettings s = loadFrom("\"AutoName\"=hex:ff\n\"AutoSave\"=hex:80\n");
    EXPECT_EQ(s.autoName, -1);
    EXPECT_EQ(s.autoSave, -128);
    ASSERT_TRUE(settingsSave(s, path_));
    EXPECT_EQ(stored(value::AutoName), std::vector<uint8_t>{0xFF});

    s.autoName = s.autoName ? 0 : 1;  // one toggle from the menu
    ASSERT_TRUE(settingsSave(s, path_));
    EXPECT_EQ(stored(value::AutoName), std::vector<uint8_t>{0x00});
}

TEST_F(SettingsStore, AKeyLackingValuesIsNotCompletedByLoadButIsBySave) {
    const AppSettings s = loadFrom("\"BaudRate\"=dword:00000005\n");
    EXPECT_EQ(s.baudRate, 5);
    EXPECT_EQ(s.commPort, 1);
    EXPECT_EQ(s.outputPathText(), platformDefaultOutputDirectory());
    EXPECT_EQ(stored(value::CommPort), std::vector<uint8_t>{});

    ASSERT_TRUE(settingsSave(s, path_));
    for (const char* name :
         {value::OutputPath, value::CommPort, value::BaudRate, value::AutoBaudRate, value::AutoName,
          value::AutoSave, value::Com1Device, value::Com2Device}) {
        EXPECT_FALSE(stored(name).empty()) << name;
    }
}

TEST_F(SettingsStore, ValuesOfTheWrongTypeOrSizeLoadAsDefaults) {
    const std::string tooLong = "/" + std::string(511, 'p');
    expectFirstRunValues(
        loadFrom("\"CommPort\"=\"2\"\n\"BaudRate\"=hex:05\n"
                 "\"AutoBaudRate\"=hex(4):05,00\n\"AutoName\"=dword:00000001\n"
                 "\"AutoSave\"=hex:01,01\n\"Com1Device\"=\"\"\n"
                 "\"Com2Device\"=dword:00000002\n\"OutputPath\"=\"" +
                 tooLong + "\"\n"));
}

TEST_F(SettingsStore, NumbersKeepTheirLowByteAndThePathEndsAtItsNulOr511Characters) {
    const std::string longest = "/" + std::string(510, 'd');
    const AppSettings s = loadFrom(
        "\"CommPort\"=dword:00000103\n\"BaudRate\"=dword:00000009\n"
        "\"AutoBaudRate\"=dword:ffffff00\n\"OutputPath\"=\"" +
        longest + "\"\n");
    EXPECT_EQ(s.commPort, 3);  // out of range, but kept for the window to report
    EXPECT_EQ(s.baudRate, 9);
    EXPECT_EQ(s.autoBaudRate, 0);
    EXPECT_EQ(s.outputPathText(), longest);
    EXPECT_EQ(loadFrom("\"OutputPath\"=hex(1):2f,74,00,78\n").outputPathText(), "/t");

    AppSettings cut;
    cut.setOutputPath(std::string(600, 'x'));
    EXPECT_EQ(cut.outputPathText(), std::string(511, 'x'));
    EXPECT_EQ(cut.outputPath[511], '\0');
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
        expectFirstRunValues(settingsRead(path_));  // the rewritten file is whole again
        EXPECT_EQ(RegistryStore(path_, kSettingsKey).fileState(), RegistryStore::FileState::Loaded);
    }
}

TEST_F(SettingsStore, SaveKeepsWhatElseTheFileHolds) {
    loadFrom("\"Extra\"=\"mine\"\n\n[HKEY_LOCAL_MACHINE\\Other]\n@=hex:01\n");
    AppSettings s = settingsFirstRunDefaults();
    s.baudRate = 6;
    ASSERT_TRUE(settingsSave(s, path_));
    EXPECT_EQ(stored("Extra"), bytesOf({"mine\0", 5}));
    EXPECT_EQ(stored(value::BaudRate), (std::vector<uint8_t>{6, 0, 0, 0}));
    EXPECT_NE(readText(path_).find("[HKEY_LOCAL_MACHINE\\Other]\n@=hex:01\n"), std::string::npos);
}

TEST_F(SettingsStore, ReadingAloneWritesNothingAndRateOnlySaveTouchesOneValue) {
    expectFirstRunValues(settingsRead(path_));
    EXPECT_FALSE(fileExists(path_));

    loadFrom("\"CommPort\"=dword:00000002\n\"AutoBaudRate\"=dword:00000002\n");
    ASSERT_TRUE(settingsSaveAutoBaudRate(5, path_));
    const AppSettings s = settingsRead(path_);
    EXPECT_EQ(s.autoBaudRate, 5);
    EXPECT_EQ(s.commPort, 2);
    EXPECT_EQ(stored(value::BaudRate), std::vector<uint8_t>{});
}

}  // namespace
