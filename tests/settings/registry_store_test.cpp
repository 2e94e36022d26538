#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key";

std::string readText(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const std::string& path, const std::string& text) {
    writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> bytesOf(std::string_view s) {
    return {s.begin(), s.end()};
}

TEST(RegistryDocument, ReadsEveryValueFormLineEndingAndContinuation) {
    const std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Key]\r\n"
        "\"Path\"=\"C:\\\\Data \\\"quoted\\\"\"\r\n"
        "\"Number\"=dword:0001e240\r\n"
        "\"Bytes\"=hex:00,7f,\\\r\n"
        "  80,FF\r\n"
        "\"Multi\"=hex(7):41,00,00\r\n"
        "@=\"default\"\n"
        "\n"
        "[hkey_local_machine\\software\\other]\n"
        "\"Empty\"=hex:\n";
    RegistryDocument doc;
    ASSERT_TRUE(doc.parse(text));
    ASSERT_EQ(doc.keys().size(), 2u);

    const RegistryValue* path = doc.findValue(kKey, "path");  // names ignore case
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->type, regtype::String);
    EXPECT_EQ(path->data, bytesOf(std::string_view("C:\\Data \"quoted\"\0", 17)));

    const RegistryValue* number = doc.findValue(kKey, "Number");
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->type, regtype::Dword);
    EXPECT_EQ(number->data, (std::vector<uint8_t>{0x40, 0xE2, 0x01, 0x00}));

    const RegistryValue* bytes = doc.findValue(kKey, "Bytes");
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes->type, regtype::Binary);
    EXPECT_EQ(bytes->data, (std::vector<uint8_t>{0x00, 0x7F, 0x80, 0xFF}));

    const RegistryValue* multi = doc.findValue(kKey, "Multi");
    ASSERT_NE(multi, nullptr);
    EXPECT_EQ(multi->type, 7u);

    const RegistryValue* unnamed = doc.findValue(kKey, "");
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(unnamed->data, bytesOf(std::string_view("default\0", 8)));

    const RegistryValue* empty = doc.findValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Other", "Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->data.empty());
}

TEST(RegistryDocument, RejectsMalformedTextWhole) {
    const std::string head = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"Good\"=dword:00000001\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty file", ""},
        {"other header", "Windows Registry Editor Version 5.00\n[K]\n"},
        {"value before any key", "REGEDIT4\n\"A\"=dword:00000001\n"},
        {"unknown line", head + "garbage\n"},
        {"unterminated string (truncated file)", head + "\"Path\"=\"/home/us"},
        {"unknown escape", head + "\"A\"=\"a\\nb\"\n"},
        {"text after a string", head + "\"A\"=\"a\" x\n"},
        {"dword too long", head + "\"A\"=dword:000000001\n"},
        {"dword not hex", head + "\"A\"=dword:0000000g\n"},
        {"dword empty", head + "\"A\"=dword:\n"},
        {"dword too short (truncated file)", head + "\"A\"=dword:0000"},
        {"hex item too long", head + "\"A\"=hex:001\n"},
        {"hex list with a hole", head + "\"A\"=hex:01,,02\n"},
        {"hex type missing", head + "\"A\"=hex():01\n"},
        {"deleted value", head + "\"A\"=-\n"},
        {"deleted key", head + "[-HKEY_LOCAL_MACHINE\\K]\n"},
        {"empty key", head + "[]\n"},
        {"unquoted name", head + "A=dword:00000001\n"},
        {"no equals sign", head + "\"A\" dword:00000001\n"},
    };
    for (const auto& [what, text] : cases) {
        RegistryDocument doc;
        doc.createKey("leftover");
        EXPECT_FALSE(doc.parse(text)) << what;
        EXPECT_TRUE(doc.keys().empty()) << what;
    }
}

TEST(RegistryDocument, WritesWhatItReadsBackIdentically) {
    RegistryDocument doc;
    doc.setValue(kKey,
                 {"Plain", regtype::String, bytesOf(std::string_view("a\\b\"c\xC3\xA9\0", 8))});
    // Control characters and a missing NUL cannot be written in quotes.
    doc.setValue(kKey, {"Newline", regtype::String, bytesOf(std::string_view("a\nb\0", 4))});
    doc.setValue(kKey, {"NoNul", regtype::String, bytesOf("abc")});
    doc.setValue(kKey, {"Short", regtype::Dword, {1, 2}});
    doc.setValue(kKey, {"Word", regtype::Dword, {0x78, 0x56, 0x34, 0x12}});
    doc.setValue(kKey, {"Blob", regtype::Binary, {0, 255}});
    doc.setValue(kKey, {"", 0xABCDEF01u, {9}});

    const std::string text = doc.serialize();
    EXPECT_NE(text.find("\"Plain\"=\"a\\\\b\\\"c\xC3\xA9\"\n"), std::string::npos) << text;
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

TEST(RegistryDocument, SettingAValueReplacesItInPlaceRegardlessOfCase) {
    RegistryDocument doc;
    doc.setValue(kKey, {"First", regtype::Binary, {1}});
    doc.setValue(kKey, {"Second", regtype::Binary, {2}});
    doc.setValue(kKey, {"FIRST", regtype::Binary, {3}});
    const auto& values = doc.keys().at(0).values;
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].data, std::vector<uint8_t>{3});
    EXPECT_EQ(values[1].name, "Second");
}

TEST(RegistryStore, CreatesTheKeyAndItsDirectoriesThenFindsThemAgain) {
    TempDir dir;
    const std::string path = dir.file("config/Vendor/Store.reg");
    {
        RegistryStore store(path, kKey);
        EXPECT_TRUE(store.keyCreatedNow());
        EXPECT_EQ(store.fileState(), RegistryStore::FileState::Absent);
        store.setDword("Port", 2);
        store.setString("Dir", "/home/user/Bilder");
        ASSERT_TRUE(store.commit());
    }
    RegistryStore reopened(path, kKey);
    EXPECT_FALSE(reopened.keyCreatedNow());
    ASSERT_NE(reopened.value("Port"), nullptr);
    EXPECT_EQ(reopened.value("Port")->data, (std::vector<uint8_t>{2, 0, 0, 0}));
    ASSERT_NE(reopened.value("Dir"), nullptr);
    EXPECT_EQ(reopened.value("Dir")->data, bytesOf(std::string_view("/home/user/Bilder\0", 18)));
    EXPECT_EQ(reopened.value("Missing"), nullptr);
    // No temporary files are left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("config/Vendor")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(RegistryStore, KeepsAnUnparsableFileAsBackupOnceBeforeRewriting) {
    TempDir dir;
    const std::string path = dir.file("store.reg");
    const std::string broken = "REGEDIT4\n[" + std::string(kKey) + "]\n\"Port\"=dword:0000";
    writeText(path, broken);

    RegistryStore store(path, kKey);
    EXPECT_EQ(store.fileState(), RegistryStore::FileState::Unusable);
    EXPECT_TRUE(store.keyCreatedNow());
    EXPECT_EQ(store.value("Port"), nullptr);
    store.setDword("Port", 1);
    ASSERT_TRUE(store.commit());
    EXPECT_EQ(readText(path + ".bak"), broken);
    // A second write must not replace the backup with the good file.
    store.setDword("Port", 2);
    ASSERT_TRUE(store.commit());
    EXPECT_EQ(readText(path + ".bak"), broken);
    EXPECT_EQ(RegistryStore(path, kKey).fileState(), RegistryStore::FileState::Loaded);
}

TEST(RegistryStore, TreatsOversizedAndNonRegularFilesAsUnusable) {
    TempDir dir;
    const std::string big = dir.file("big.reg");
    writeText(big, "REGEDIT4\n;" + std::string(kRegistryFileMax, 'x') + "\n");
    EXPECT_EQ(RegistryStore(big, kKey).fileState(), RegistryStore::FileState::Unusable);

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
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
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
            registrySetBeforeRenameHook([](const std::string&) { _exit(3); });
            RegistryStore store(path, kKey);
            store.setString("Dir", "/new/and/much/longer/than/before");
            store.commit();
        },
        testing::ExitedWithCode(3), "");

    EXPECT_EQ(readText(path), before);
    RegistryStore after(path, kKey);
    EXPECT_EQ(after.fileState(), RegistryStore::FileState::Loaded);
    EXPECT_EQ(after.value("Dir")->data, bytesOf(std::string_view("/old\0", 5)));
}

}  // namespace
