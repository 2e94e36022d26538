// The window's parts that need no receiver: the settings dialogs' forms,
// the version history of the About dialog, the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "lumagrab_version.h"
#include "support/test_support.h"
#include "window/app_options.h"
#include "window/settings_forms.h"
#include "window/version_history.h"

namespace {

namespace fs = std::filesystem;

class CurrentDirectoryKept : public ::testing::Test {
  protected:
    ~CurrentDirectoryKept() override { fs::current_path(start_); }
    fs::path start_ = fs::current_path();
    TempDir dir_;
};

// The stored path shows only while it is a directory, which becomes the
// current directory. A wrong entry is refused with the message until a right
// one comes, which is stored as typed (a relative path against the directory
// of the moment).
TEST_F(CurrentDirectoryKept, OutputDirectoryShowsADirectoryAndStoresARightEntryAsTyped) {
    const OutputDirectoryForm gone(dir_.file("gone"));
    EXPECT_EQ(gone.fieldText(), "");
    EXPECT_EQ(gone.path(), "");  // Cancel stores an empty directory
    OutputDirectoryForm form(dir_.path());
    EXPECT_EQ(form.fieldText(), dir_.path());
    EXPECT_EQ(form.path(), dir_.path());
    EXPECT_EQ(fs::current_path(), fs::canonical(dir_.path()));
    const std::optional<DialogMessage> refusal = form.accept(dir_.file("no such place"));
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "Invalid directory entered.  Please re-enter a valid directory.");
    EXPECT_EQ(refusal->caption, "Set Output Directory");
    EXPECT_EQ(refusal->style, msgbox::Ok | msgbox::IconInformation);
    EXPECT_EQ(form.path(), "");
    fs::create_directory(dir_.file("lower case"));
    EXPECT_FALSE(form.accept("lower case/"));
    EXPECT_EQ(form.path(), "lower case/");
    EXPECT_EQ(fs::current_path(), fs::canonical(dir_.file("lower case")));
}

// A directory whose path is `length` characters long, in names of at most
// 200 characters.
std::string longDirectory(std::string path, size_t length) {
    while (path.size() < length) {
        path += '/';
        path.append(std::min<size_t>(200, length - path.size()), 'd');
    }
    fs::create_directories(path);
    return path;
}

// An entry is cut to 511 bytes before it is checked, and never inside a
// character.
TEST_F(CurrentDirectoryKept, OutputDirectoryCutsAnEntryToFiveHundredElevenBytes) {
    const std::string path = longDirectory(dir_.path(), 511);
    OutputDirectoryForm form("");
    EXPECT_FALSE(form.accept(path + "/" + std::string(88, 'x')));
    EXPECT_EQ(form.path(), path);
    // "é" is two bytes, and the second would be the 512th: it goes whole.
    const std::string shorter = longDirectory(dir_.file("e"), 510);
    EXPECT_FALSE(form.accept(shorter + "\xC3\xA9"));
    EXPECT_EQ(form.path(), shorter);
}

TEST(CommPortsForm, BothPathsAreNeededAndBlanksAroundThemDoNotCount) {
    CommPortsForm form("/dev/ttyS0", "/dev/ttyUSB7", {"/dev/ttyUSB0", "/dev/ttyS0"});
    EXPECT_EQ(form.devicesOffered(), (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyS0"}));
    const std::optional<DialogMessage> refusal = form.accept("/dev/ttyS0", "   ");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->caption, "Set Comm Ports");
    EXPECT_EQ(form.com2Device(), "/dev/ttyUSB7");
    EXPECT_TRUE(form.accept("/dev/ttyS0", std::string(4096, 'x')));
    EXPECT_FALSE(form.accept("/dev/ttyUSB0", " /dev/ttyACM0 "));
    EXPECT_EQ(form.com1Device(), "/dev/ttyUSB0");
    EXPECT_EQ(form.com2Device(), "/dev/ttyACM0");
}

// Newest release first, each entry a heading and one to three lines, every
// line ending with CR LF and at most 60 characters, 1355 characters in all;
// the newest is the version the programs report.
TEST(VersionHistory, KeepsItsForm) {
    const std::string text = kVersionHistory;
    EXPECT_EQ(text.size(), 1355u);
    ASSERT_TRUE(text.ends_with("\r\n"));
    EXPECT_TRUE(text.starts_with("Version " LUMAGRAB_VERSION ":\t"));
    const std::regex heading(R"(Version (\d+)\.(\d+)\.(\d+):\t\((\d\d)-(\d\d)-(\d{4})\))");
    std::vector<std::vector<std::string>> entries(1);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);  // found: the text ends with CR LF
        const std::string line = text.substr(at, end - at);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        EXPECT_LE(line.size(), 60u);
        if (line.empty())
            entries.emplace_back();
        else
            entries.back().push_back(line);
        at = end + 2;
    }
    ASSERT_EQ(entries.size(), 11u);
    std::string previousVersion = "~", previousDate = "~";
    for (const std::vector<std::string>& entry : entries) {
        ASSERT_GE(entry.size(), 2u);
        EXPECT_LE(entry.size(), 4u);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(entry[0], m, heading)) << entry[0];
        EXPECT_TRUE(std::stoi(m[4]) >= 1 && std::stoi(m[4]) <= 12);
        EXPECT_TRUE(std::stoi(m[5]) >= 1 && std::stoi(m[5]) <= 31);
        char version[16];
        std::snprintf(version, sizeof version, "%03d%03d%03d", std::stoi(m[1]), std::stoi(m[2]),
                      std::stoi(m[3]));
        const std::string date = m[6].str() + m[4].str() + m[5].str();
        EXPECT_LT(version, previousVersion);
        EXPECT_LT(date, previousDate);
        previousVersion = version;
        previousDate = date;
    }
}

TEST(AppOptions, SimulateTakesAnOptionalProductAndHelpWins) {
    struct Row {
        std::vector<std::string> args;
        AppParse parse;
        int product;  // -1: no simulation
    };
    const Row rows[] = {
        {{}, AppParse::Run, -1},
        {{"--simulate"}, AppParse::Run, 144},
        {{"--simulate=95"}, AppParse::Run, 95},
        {{"--simulate=65536"}, AppParse::Usage, -1},
        {{"--simulate="}, AppParse::Usage, -1},
        {{"--simulation"}, AppParse::Usage, -1},
        {{"--bogus", "-h"}, AppParse::Help, -1},
    };
    for (const Row& row : rows) {
        AppOptions options;
        std::string error;
        EXPECT_EQ(parseAppArguments(row.args, options, error), row.parse) << row.args.size();
        EXPECT_EQ(error.empty(), row.parse != AppParse::Usage);
        EXPECT_EQ(options.simulate ? int(*options.simulate) : -1, row.product);
    }
}

}  // namespace
