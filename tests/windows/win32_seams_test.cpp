// The Windows versions of the seams: the whole-file writer, small-file
// reading, port names and the port check.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/file_commit.h"
#include "platform/file_read.h"
#include "serial/port_list.h"
#include "serial/system_serial.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::span<const uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string textOf(const std::string& path) {
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

size_t entriesIn(const std::string& directory) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(directory)) ++count;
    return count;
}

void makeReadOnly(const std::string& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

}  // namespace

TEST(Win32FileCommit, WritesWholeReplacesWhatMayBeReplacedAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string target = dir.file("screen.bmp");
    // Binary contents: no line-end translation on the way to the disk.
    EXPECT_EQ(fileWriteWhole(target, {bytesOf("BM\r\n"), bytesOf("\n\x1a tail")}),
              FileWriteResult::Written);
    EXPECT_EQ(textOf(target), "BM\r\n\n\x1a tail");
    EXPECT_EQ(fileWriteWhole(target, {bytesOf("second")}), FileWriteResult::Written);
    EXPECT_EQ(textOf(target), "second");

    makeReadOnly(target);
    EXPECT_EQ(fileWriteWhole(target, {bytesOf("third")}), FileWriteResult::OpenFailed);
    EXPECT_EQ(textOf(target), "second") << "a read-only file is not the writer's to replace";
    EXPECT_EQ(fileReplaceWhole(target, {bytesOf("store")}), FileWriteResult::Written);
    EXPECT_EQ(textOf(target), "store") << "the settings store replaces whatever stands there";

    fs::create_directory(dir.file("folder"));
    EXPECT_EQ(fileWriteWhole(dir.file("folder"), {bytesOf("x")}), FileWriteResult::OpenFailed);
    EXPECT_EQ(fileWriteWhole(dir.file("missing/screen.bmp"), {bytesOf("x")}),
              FileWriteResult::OpenFailed);
    EXPECT_EQ(entriesIn(dir.path()), 2u) << "the file and the folder, nothing else";
}

TEST(Win32FileCommit, AFailureBeforeTheMoveKeepsTheOldFileWhole) {
    TempDir dir;
    const std::string target = dir.file("settings.reg");
    writeFileBytes(target, {'o', 'l', 'd'});
    fileSetBeforeRenameHook([](const std::string& temporary) {
        EXPECT_EQ(textOf(temporary), "new") << "written and flushed before the move";
        fs::remove(temporary);  // as if the disk lost it
    });
    EXPECT_EQ(fileWriteWhole(target, {bytesOf("new")}), FileWriteResult::WriteFailed);
    fileSetBeforeRenameHook(nullptr);
    EXPECT_EQ(textOf(target), "old");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// The numbered name is given to the finished file only where nothing stands.
TEST(Win32FileCommit, ANewFileTakesTheFirstFreeNameAndReplacesNothing) {
    TempDir dir;
    writeFileBytes(dir.file("Pellowin103-01.bmp"), {'o'});
    fs::create_directory(dir.file("Pellowin103-02.bmp"));
    int number = 0;
    const auto next = [&](std::string& path) {
        path = dir.file("Pellowin103-0" + std::to_string(++number) + ".bmp");
        return number <= 3;
    };
    std::string path;
    EXPECT_EQ(fileCreateUnderFreeName(next, {bytesOf("new")}, path), FileWriteResult::Written);
    EXPECT_EQ(path, dir.file("Pellowin103-03.bmp"));
    EXPECT_EQ(textOf(path), "new");
    EXPECT_EQ(textOf(dir.file("Pellowin103-01.bmp")), "o");
    number = 0;
    EXPECT_EQ(fileCreateUnderFreeName(next, {bytesOf("more")}, path), FileWriteResult::OpenFailed)
        << "every name taken";
    EXPECT_EQ(entriesIn(dir.path()), 3u) << "no temporary file left";
}

TEST(Win32FileRead, ReadsSmallDiskFilesWholeAndNothingElse) {
    TempDir dir;
    writeFileBytes(dir.file("small.reg"), {'R', '\r', '\n', 0x1a, '!'});
    writeFileBytes(dir.file("large.reg"), std::vector<uint8_t>(65, 'x'));
    fs::create_directory(dir.file("folder"));
    struct Case {
        std::string path;
        FileReadResult result;
        std::string text;
    };
    const Case cases[] = {
        {dir.file("small.reg"), FileReadResult::Read, std::string("R\r\n\x1a!")},
        {dir.file("large.reg"), FileReadResult::Unusable, ""},
        {dir.file("folder"), FileReadResult::Unusable, ""},
        {dir.file("absent.reg"), FileReadResult::Absent, ""},
        {dir.file("absent/inner.reg"), FileReadResult::Absent, ""},
        {"NUL", FileReadResult::Unusable, ""},  // a device, not a disk file
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(fileReadSmall(c.path, 64, text), c.result) << c.path;
        if (c.result == FileReadResult::Read) {
            EXPECT_EQ(text, c.text) << c.path;
        }
    }
}

TEST(Win32Serial, PortsAreComNamesInNaturalOrderAndAMissingOneSaysSo) {
    EXPECT_EQ(systemDefaultPortDevice(1), "COM1");
    EXPECT_EQ(systemDefaultPortDevice(2), "COM2");
    EXPECT_EQ(systemDefaultPortDevice(3), "");
    EXPECT_TRUE(serialNaturalLess("COM2", "COM10"));
    EXPECT_FALSE(serialNaturalLess("COM10", "COM9"));

    int error = 0;
    EXPECT_FALSE(serialCanOpen("COM199", error)) << "needs the \\\\.\\ form to be named at all";
    EXPECT_EQ(error, ENOENT);
    error = 0;
    EXPECT_FALSE(serialCanOpen("no such port", error));
    EXPECT_EQ(error, ENOENT);
}
