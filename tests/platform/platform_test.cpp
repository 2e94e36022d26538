#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/file_commit.h"
#include "support/test_support.h"

namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old, hadOld_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { hadOld_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

// An XDG entry that names no directory counts for nothing.
TEST(DefaultOutputDirectory, PrefersXdgDesktopThenDesktopThenHome) {
    TempDir home;
    ScopedEnv homeEnv("HOME", home.path());
    ScopedEnv configEnv("XDG_CONFIG_HOME", home.path());
    std::ofstream(home.file("user-dirs.dirs"))
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    EXPECT_EQ(platformDefaultOutputDirectory(), home.path());
    mkdir(home.file("Desktop").c_str(), 0700);
    EXPECT_EQ(platformDefaultOutputDirectory(), home.file("Desktop"));
    mkdir(home.file("Schreibtisch").c_str(), 0700);
    EXPECT_EQ(platformDefaultOutputDirectory(), home.file("Schreibtisch"));
}

// The recorders that replace sleeps and message boxes are proven by every
// test that reads them.
TEST(Hooks, WithoutAFrontEndTheSaveDialogChoosesNothing) {
    std::string chosen = "untouched";
    EXPECT_FALSE(platformSaveDialog(SaveDialogRequest{}, chosen));
    EXPECT_EQ(chosen, "untouched");
}

TEST(CurrentDirectory, AcceptsDirectoriesOnly) {
    TempDir dir;
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    std::ofstream(dir.file("plain")) << "x";
    EXPECT_FALSE(platformSetCurrentDirectory(dir.file("plain")));
    EXPECT_FALSE(platformSetCurrentDirectory(""));
    EXPECT_FALSE(platformSetCurrentDirectory(dir.file("missing")));
    EXPECT_TRUE(platformSetCurrentDirectory(dir.path()));
    ASSERT_EQ(chdir(old), 0);
}

// What the whole-file writer would refuse, told before any work is done.
TEST(FileCanWrite, RefusesWhatTheWriterWouldRefuse) {
    TempDir dir;
    std::ofstream(dir.file("plain")) << "x";
    mkdir(dir.file("folder").c_str(), 0755);
    const struct {
        std::string path;
        bool writable;
    } cases[] = {
        {dir.file("new.bmp"), true},
        {dir.file("plain"), true},
        {dir.file("folder/"), false},
        {dir.file("folder"), false},
        {dir.file("missing/new.bmp"), false},
        {dir.file("plain/new.bmp"), false},
        {dir.file(std::string(256, 'n')), false},
        {dir.file(std::string(255, 'n')), true},
    };
    for (const auto& c : cases) EXPECT_EQ(fileCanWrite(c.path), c.writable) << c.path;
}

}  // namespace
