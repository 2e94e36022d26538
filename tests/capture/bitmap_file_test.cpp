#include "capture/bitmap_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "capture/bmp_test_reader.h"
#include "platform/file_commit.h"
#include "support/test_support.h"

namespace {

// A small picture as the download would hand it over, with a colour table
// whose 256 entries all differ so that any misplaced byte shows.
struct Picture {
    BitmapInfo info{};
    std::vector<uint8_t> pixels;

    Picture(int32_t width, int32_t height, uint16_t bitCount, uint32_t colorsUsed) {
        const uint32_t stride = ((bitCount * width + 31) / 32) * 4;
        info.header = {40, width, height,     1,         bitCount, 0, stride * height,
                       0,  0,     colorsUsed, colorsUsed};
        for (int i = 0; i < kPaletteCapacity; ++i) {
            info.palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                               static_cast<uint8_t>(i ^ 0x55), 0};
        }
        pixels.resize(stride * height);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + 7);
    }
};

DeviceInfo deviceNamed(const char* name) {
    DeviceInfo device{};
    std::strncpy(device.name, name, sizeof device.name - 1);
    device.screenType = 3;
    return device;
}

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class BitmapFile : public ::testing::Test {
  protected:
    bool saveAuto(const Picture& picture, const char* name, std::string directory = {}) {
        if (directory.empty())
            directory = dir.path();
        return bitmapSaveAuto(picture.info, picture.pixels, 3, directory, deviceNamed(name));
    }
    void expectBoxes(const std::vector<std::string>& texts) {
        std::vector<std::string> shown;
        for (const auto& box : boxes.shown()) {
            shown.push_back(box.text);
            EXPECT_EQ(box.caption, "Lumagrab");
            EXPECT_EQ(box.style, 0x30u) << "OK button, exclamation icon";
        }
        EXPECT_EQ(shown, texts);
    }

    TempDir dir;
    ScopedMessageBoxRecorder boxes;
};

TEST_F(BitmapFile, LayoutForEveryScreenType) {
    struct Case {
        uint8_t screenType;
        uint16_t bitCount;
        uint32_t colors;
        uint32_t tableBytes;
    };
    for (const Case& c : {Case{1, 1, 2, 8}, Case{2, 4, 4, 16}, Case{3, 8, 16, 64},
                          Case{4, 8, 256, 1024}, Case{0, 8, 16, 0}, Case{5, 8, 16, 0}}) {
        SCOPED_TRACE(int{c.screenType});
        Picture picture(13, 5, c.bitCount, c.colors);
        std::string directory = dir.path();
        std::string path;
        ASSERT_TRUE(bitmapSaveAuto(picture.info, picture.pixels, c.screenType, directory,
                                   deviceNamed("T"), &path));
        const std::vector<uint8_t> bytes = readFileBytes(path);
        const auto image = parseBmp(bytes);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->fileSize, bytes.size());
        EXPECT_EQ(bytes.size(), 54 + c.tableBytes + picture.pixels.size());
        EXPECT_EQ(image->pixelOffset, 54 + c.tableBytes);
        EXPECT_EQ(0, std::memcmp(bytes.data() + 14, &picture.info.header, 40));
        const auto* table = reinterpret_cast<const uint8_t*>(picture.info.palette);
        EXPECT_EQ(image->colorTable, std::vector<uint8_t>(table, table + c.tableBytes));
        EXPECT_EQ(image->rows, picture.pixels);
        std::filesystem::remove(path);
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(BitmapFile, GeneratedNames) {
    struct Case {
        std::string directory;
        const char* name;
        const char* existingStem;  // files <stem>-01 to -NN made beforehand
        int existing;
        std::string path;
        std::string directoryAfter;
    };
    const std::string d = dir.path();
    for (const Case& c : {
             Case{d + "/", "Unit A/B 7", "", 0, d + "/UnitA_B7-01.bmp", d},
             Case{d, "Unit A/B 7", "UnitA_B7", 1, d + "/UnitA_B7-02.bmp", d},
             Case{d, "   ", "", 0, d + "/-01.bmp", d},
             Case{d, "a\\b:c", "", 0, d + "/a\\b:c-01.bmp", d},
             Case{d, "Gx", "Gx", 99, d + "/Gx-100.bmp", d},
             Case{"", "No Such Unit 12345", "", 0, "/NoSuchUnit12345-01.bmp", ""},
             Case{"/", "No Such Unit 12345", "", 0, "/NoSuchUnit12345-01.bmp", ""},
         }) {
        SCOPED_TRACE(c.path);
        for (int n = 1; n <= c.existing; ++n) {
            char name[64];
            std::snprintf(name, sizeof name, "%s-%02d.bmp", c.existingStem, n);
            writeFileBytes(dir.file(name), {});
        }
        std::string directory = c.directory;
        std::string path;
        ASSERT_TRUE(bitmapMakeAutoName(path, directory, c.name));
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(directory, c.directoryAfter);
        for (const std::string& file : filesIn(d)) std::filesystem::remove(dir.file(file));
    }
}

TEST_F(BitmapFile, AutoSaveToAPathThatCannotBeOpenedSaysSoAndLeavesNothing) {
    // Directory + "/" + name + "-01.bmp" + NUL: exactly 512 bytes fit, 513 do not.
    // Device names hold at most 127 characters, so the directory makes up the rest.
    std::string longDirectory = dir.path() + '/';
    longDirectory.append(250, 'e');
    std::filesystem::create_directory(longDirectory);
    longDirectory += '/';
    longDirectory.append(511 - 100 - 7 - 1 - longDirectory.size(), 'f');
    std::filesystem::create_directory(longDirectory);
    std::string path;
    const std::string name100(100, 'n');
    ASSERT_TRUE(bitmapMakeAutoName(path, longDirectory, name100.c_str()));
    EXPECT_EQ(path.size(), 511u);

    const std::string name101(101, 'n');
    EXPECT_FALSE(bitmapMakeAutoName(path, longDirectory, name101.c_str()));
    EXPECT_FALSE(saveAuto(Picture(4, 4, 8, 16), name101.c_str(), longDirectory));
    EXPECT_FALSE(saveAuto(Picture(4, 4, 8, 16), "Qv 1", dir.file("missing")));
    expectBoxes({"ERROR: Unable to open file " + longDirectory + "/" + name101 + "-01.bmp",
                 "ERROR: Unable to open file " + dir.file("missing") + "/Qv1-01.bmp"});
    EXPECT_TRUE(filesIn(longDirectory).empty());
}

TEST_F(BitmapFile, AutoSaveNeverReplacesAFileNorLeavesAnEmptyOne) {
    writeFileBytes(dir.file("Rx-01.bmp"), {9, 9});
    ASSERT_TRUE(saveAuto(Picture(4, 4, 8, 16), "Rx"));
    EXPECT_EQ(readFileBytes(dir.file("Rx-01.bmp")), (std::vector<uint8_t>{9, 9}));
    EXPECT_TRUE(readBmp(dir.file("Rx-02.bmp")).has_value());

    // Another program takes the free name while the file is being written:
    // the capture moves on to the next one.
    fileSetBeforeRenameHook(
        [&](const std::string&) { writeFileBytes(dir.file("Rx-03.bmp"), {7}); });
    ASSERT_TRUE(saveAuto(Picture(4, 4, 8, 16), "Rx"));
    fileSetBeforeRenameHook({});
    EXPECT_EQ(readFileBytes(dir.file("Rx-03.bmp")), std::vector<uint8_t>{7});
    EXPECT_TRUE(readBmp(dir.file("Rx-04.bmp")).has_value());

    // A process that dies before the finished file has its name leaves no
    // name behind (only its hidden temporary file). Forked at the statement,
    // so that it dies in this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            fileSetBeforeRenameHook([](const std::string&) { _exit(3); });
            saveAuto(Picture(4, 4, 8, 16), "Rx");
        },
        testing::ExitedWithCode(3), "");
    std::vector<std::string> names = filesIn(dir.path());
    std::erase_if(names, [](const std::string& name) { return name.front() == '.'; });
    EXPECT_EQ(names,
              (std::vector<std::string>{"Rx-01.bmp", "Rx-02.bmp", "Rx-03.bmp", "Rx-04.bmp"}));
}

// Puts back what a test changed when the scope ends.
struct OnScopeExit {
    std::function<void()> undo;
    ~OnScopeExit() { undo(); }
};

// Makes every write beyond `limit` bytes fail with EFBIG until the result goes.
OnScopeExit limitFileSize(rlim_t limit) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
    return {[saved, handler] {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }};
}

class SaveAs : public BitmapFile {
  protected:
    void SetUp() override {
        platformSetSaveDialogHook([this](const SaveDialogRequest& request, std::string& chosen) {
            requests.push_back(request);
            chosen = answer;
            return accept;
        });
    }
    void TearDown() override { platformSetSaveDialogHook({}); }
    bool save(const DeviceInfo* device = nullptr) {
        return bitmapSaveAs(picture.info, picture.pixels, 2, directory, device);
    }

    std::string directory = dir.path();
    std::vector<SaveDialogRequest> requests;
    std::string answer;
    bool accept = true;
    Picture picture{7, 3, 4, 4};
};

TEST_F(SaveAs, DialogProposesTheGeneratedNameAndTheFileIsWrittenOnlyWhenAccepted) {
    directory += "/";
    const DeviceInfo device = deviceNamed("Mk 2/b");
    answer = dir.file("chosen.bmp");
    writeFileBytes(answer, {0xCC});
    accept = false;
    EXPECT_FALSE(save(&device));
    EXPECT_EQ(readFileBytes(answer), std::vector<uint8_t>{0xCC}) << "cancelled";
    accept = true;
    ASSERT_TRUE(save(&device));
    ASSERT_TRUE(save());
    ASSERT_EQ(requests.size(), 3u);
    const SaveDialogRequest& request = requests[0];
    EXPECT_EQ(request.title, "Save Bitmap");
    using Filters = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(request.filters,
              (Filters{{"Bitmap Files (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}}));
    EXPECT_EQ(request.initialDirectory, dir.path());
    EXPECT_EQ(request.fileName, dir.path() + "/Mk2_b-01.bmp");
    EXPECT_EQ(request.defaultExtension, "bmp");
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_EQ(requests[2].fileName, "") << "no device, no name";
    EXPECT_EQ(directory, dir.path());
    const auto image = readBmp(answer);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixelOffset, 70u);
    EXPECT_EQ(image->rows, picture.pixels);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"chosen.bmp"}));
}

TEST_F(SaveAs, FailuresAreToldAndLeaveWhatWasThere) {
    std::filesystem::create_directory(dir.file("folder.bmp"));
    const std::string tooLong = dir.path() + "/" + std::string(600, 'x') + ".bmp";
    for (const std::string& chosen : {tooLong, dir.file("folder.bmp")}) {
        answer = chosen;
        EXPECT_FALSE(save());
    }
    answer = dir.file("kept.bmp");
    writeFileBytes(answer, {1, 2, 3});
    picture = Picture(320, 240, 8, 16);
    {
        const OnScopeExit limit = limitFileSize(1000);
        EXPECT_FALSE(save());
        EXPECT_FALSE(saveAuto(picture, "Z"));
    }
    Picture cut(4, 4, 8, 16);
    cut.pixels.pop_back();  // fewer pixels than the header says
    EXPECT_FALSE(saveAuto(cut, "P"));
    expectBoxes({"ERROR: Unable to open file " + tooLong,
                 "ERROR: Unable to open file " + dir.file("folder.bmp"),
                 "ERROR: Unable to write file " + answer,
                 "ERROR: Unable to write file " + dir.file("Z-01.bmp"),
                 "ERROR: Unable to write file " + dir.file("P-01.bmp")});
    EXPECT_EQ(readFileBytes(answer), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"folder.bmp", "kept.bmp"}));
    EXPECT_TRUE(filesIn(dir.file("folder.bmp")).empty());
}

// A link is written through, so the user's link stays a link.
TEST_F(SaveAs, ASymbolicLinkIsWrittenThroughToItsTarget) {
    std::filesystem::create_directory(dir.file("real"));
    writeFileBytes(dir.file("real/shot.bmp"), {1});
    std::filesystem::create_symlink("real/shot.bmp", dir.file("link.bmp"));
    answer = dir.file("link.bmp");
    ASSERT_TRUE(save());
    EXPECT_TRUE(std::filesystem::is_symlink(answer));
    const auto image = readBmp(dir.file("real/shot.bmp"));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->rows, picture.pixels);
    EXPECT_EQ(filesIn(dir.file("real")), std::vector<std::string>{"shot.bmp"}) << "no temporary";
}

// A full disk keeps the old file byte for byte: no temporary file can be
// made, and the file is not written in place instead.
TEST_F(SaveAs, AFullDiskLeavesTheOldFileWholeAndSaysSo) {
    // A file system of its own that holds one file and has room for no other.
    const std::string full = dir.file("full");
    std::filesystem::create_directory(full);
    if (mount("lumagrab-test", full.c_str(), "tmpfs", 0, "size=64k,nr_inodes=2") != 0)
        GTEST_SKIP() << "no file system of its own could be mounted (needs root)";
    const OnScopeExit unmount{[&] { umount(full.c_str()); }};
    answer = full + "/shot.bmp";
    writeFileBytes(answer, {1, 2, 3});
    EXPECT_FALSE(save());
    EXPECT_EQ(readFileBytes(answer), (std::vector<uint8_t>{1, 2, 3}));
    expectBoxes({"ERROR: Unable to open file " + answer});
}

TEST_F(SaveAs, AFolderThatTakesNoNewFileStillHasItsWritableFileWritten) {
    std::filesystem::create_directory(dir.file("locked"));
    answer = dir.file("locked/shot.bmp");
    writeFileBytes(answer, {1, 2});
    {
        // Immutable, so that not even root can make a file in it.
        const int fd = open(dir.file("locked").c_str(), O_RDONLY | O_DIRECTORY);
        const OnScopeExit closeFolder{[fd] { close(fd); }};
        int flags = 0;  // as they were, put back at the end
        const bool gotFlags = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        const int locked = flags | FS_IMMUTABLE_FL;
        if (!gotFlags || ioctl(fd, FS_IOC_SETFLAGS, &locked) != 0)
            GTEST_SKIP() << "this file system cannot lock a folder";
        const OnScopeExit unlock{[&] { ioctl(fd, FS_IOC_SETFLAGS, &flags); }};
        ASSERT_TRUE(save());
        answer = dir.file("locked/new.bmp");
        EXPECT_FALSE(save()) << "a new file cannot be made there";
    }
    const auto image = readBmp(dir.file("locked/shot.bmp"));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->rows, picture.pixels);
    expectBoxes({"ERROR: Unable to open file " + dir.file("locked/new.bmp")});
}

}  // namespace
