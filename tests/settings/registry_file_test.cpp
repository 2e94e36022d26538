// The REGEDIT4 file that holds the settings on Linux: its format, its writes
// and what a damaged file leaves of the settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file_commit.h"
#include "platform/registry_store.h"
#include "settings/app_settings.h"
#include "settings/scratch_settings.h"
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
    const auto values = [](const RegistryDocument& d) {
        std::vector<std::tuple<std::string, uint32_t, std::vector<uint8_t>>> out;
        for (const RegistryValue& v : d.keys()[0].values) out.emplace_back(v.name, v.type, v.data);
        return out;
    };
    EXPECT_EQ(values(again), values(doc));
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
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(RegistryStoreDeathTest, ACrashBeforeTheRenameLeavesTheOldFileWhole) {
    // Forked at the statement, so that the crash hits this test's file: the
    // "threadsafe" style would run the test afresh, in a directory of its own.
    GTEST_FLAG_SET(death_test_style, "fast");
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

// --- The settings in the file ------------------------------------------------

class SettingsFile : public testing::Test {
  protected:
    ScratchSettings scratch_;
    const std::string path_ = scratch_.location();
};

// A file that cannot be the settings loads the first-run values and is kept
// as the backup, once: the file rewritten then is whole again.
TEST_F(SettingsFile, AnUnusableFileLoadsDefaultsAndIsKeptOnceAsBackup) {
    AppSettings good;
    good.setOutputPath("/srv/shots");
    ASSERT_TRUE(settingsSave(good, path_));
    const std::string whole = readText(path_);
    const std::string cases[] = {
        whole.substr(0, whole.find("/srv/sh") + 7),  // truncated
        "\x01\x02 not a registry file",
        "REGEDIT4\n;" + std::string(kRegistryFileMax, 'x') + "\n",  // too large to read
    };
    for (const std::string& bad : cases) {
        writeText(path_, bad);
        AppSettings s;
        EXPECT_TRUE(settingsLoad(s, path_));
        expectFirstRunValues(s);
        ASSERT_TRUE(settingsSave(s, path_));
        EXPECT_EQ(readText(path_ + ".bak"), bad);
        EXPECT_EQ(RegistryStore(path_, kSettingsKey).fileState(), RegistryStore::FileState::Loaded);
    }
    // Not a file: moved aside whole.
    std::filesystem::remove(path_);
    std::filesystem::remove(path_ + ".bak");
    std::filesystem::create_directory(path_);
    AppSettings s;
    EXPECT_TRUE(settingsLoad(s, path_));
    EXPECT_TRUE(std::filesystem::is_directory(path_ + ".bak"));
    EXPECT_TRUE(std::filesystem::is_regular_file(path_));
}

TEST_F(SettingsFile, SaveKeepsWhatElseTheFileHolds) {
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path());
    writeText(path_, "REGEDIT4\n\n[" + std::string(kSettingsKey) +
                         "]\n\"Extra\"=\"mine\"\n\n[HKEY_LOCAL_MACHINE\\Other]\n@=hex:01\n");
    AppSettings s = settingsFirstRunDefaults();
    s.baudRate = 6;
    ASSERT_TRUE(settingsSave(s, path_));
    const std::string saved = readText(path_);
    for (const char* kept : {"\"Extra\"=\"mine\"\n", "\"BaudRate\"=dword:00000006\n",
                             "[HKEY_LOCAL_MACHINE\\Other]\n@=hex:01\n"}) {
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << " in " << saved;
    }
}

}  // namespace
