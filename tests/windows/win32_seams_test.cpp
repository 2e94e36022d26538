// The Windows versions of the seams: the whole-file writer, the settings in
// the registry, port names and the port check.
#define NOGDI  // its RGBQUAD and BITMAPINFOHEADER are the capture's here
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "capture/bitmap_file.h"
#include "platform/file_commit.h"
#include "serial/port_list.h"
#include "serial/system_serial.h"
#include "serial/win32_line.h"
#include "settings/app_settings.h"
#include "settings/scratch_settings.h"
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
    return std::distance(fs::directory_iterator(directory), fs::directory_iterator());
}

void makeReadOnly(const std::string& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

std::wstring subKeyOf(const std::string& path) {
    return std::wstring(path.begin() + path.find('\\') + 1, path.end());
}

// A value as other programs see it: its type and its bytes.
std::pair<DWORD, std::vector<uint8_t>> rawValue(HKEY root, const std::string& key,
                                                const wchar_t* name, REGSAM view = 0) {
    std::vector<uint8_t> data(1024);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    if (RegGetValueW(
            root, subKeyOf(key).c_str(), name,
            RRF_RT_ANY | RRF_NOEXPAND | (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : 0),
            &type, data.data(), &size) != ERROR_SUCCESS)
        return {REG_NONE, {}};
    data.resize(size);
    return {type, data};
}

std::vector<uint8_t> wideBytes(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.c_str());
    return {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)};
}

using RegValue = std::tuple<const wchar_t*, DWORD, std::vector<uint8_t>>;

// Where an earlier installation, a 32-bit program, left its settings: the
// machine's key of the same path, in the 32-bit view.
std::string plantMachineKey(const std::string& userKey, const std::vector<RegValue>& values) {
    const std::string machineKey = "HKEY_LOCAL_MACHINE" + userKey.substr(userKey.find('\\'));
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKeyOf(machineKey).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, type, data] : values)
        RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return machineKey;
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

// Names Windows would refuse, or read as a device, a drive or a stream.
TEST(Win32FileCommit, RefusesWhatTheWriterCouldNotWriteBeforeAnyWork) {
    TempDir dir;
    writeFileBytes(dir.file("plain.bmp"), {1});
    writeFileBytes(dir.file("locked.bmp"), {1});
    makeReadOnly(dir.file("locked.bmp"));
    fs::create_directory(dir.file("folder"));
    for (const char* name : {"new.bmp", "plain.bmp", "COM10.bmp", "console.png"})
        EXPECT_TRUE(fileCanWrite(dir.file(name))) << name;
    for (const char* name : {"locked.bmp", "folder", "missing\\new.bmp", "a:b.bmp", "CON.bmp",
                             "nul", "Com1 .png", "lpt9.bmp", "CONOUT$", "name.", "name "})
        EXPECT_FALSE(fileCanWrite(dir.file(name))) << name;
    EXPECT_FALSE(fileCanWrite("a:b.bmp")) << "on drive A:";
    for (char c : std::string("<>\"|?*\x01"))
        EXPECT_FALSE(fileCanWrite(dir.file(std::string("x") + c + "y.bmp"))) << int(c);
}

TEST(Win32FileCommit, GeneratedNamesAreJoinedWithABackslash) {
    TempDir dir;
    for (const char* separator : {"\\", "/"}) {
        std::string folder = dir.path() + separator;
        std::string path;
        ASSERT_TRUE(bitmapMakeAutoName(path, folder, "Unit A/B 7"));
        EXPECT_EQ(path, dir.path() + "\\UnitA_B7-01.bmp");
        EXPECT_EQ(folder, dir.path()) << "one trailing separator removed";
    }
}

TEST(Win32Serial, PortsAreComNamesAndAProblemSaysWhatHoldsThem) {
    EXPECT_EQ(systemDefaultPortDevice(1), "COM1");
    EXPECT_EQ(systemDefaultPortDevice(2), "COM2");
    EXPECT_EQ(systemDefaultPortDevice(3), "");

    // COM199 needs the \\.\ form to be named at all.
    for (const char* port : {"COM199", "no such port"}) {
        int error = 0;
        EXPECT_FALSE(serialCanOpen(port, error)) << port;
        EXPECT_EQ(error, ENOENT) << port;
    }
    const std::string busy = serialOpenProblem("COM3", EBUSY);
    EXPECT_EQ(busy.rfind("Cannot open COM3: the port is busy, held by another program", 0), 0u);
    EXPECT_EQ(busy.find("ModemManager"), std::string::npos) << "a Linux daemon";
}

// --- The settings in the registry -------------------------------------------------

// The machine's key is read while the user has none, once, and never written.
// The user's key then holds its values as regedit shows them: strings in
// UTF-16 with their NUL (the types of all are the settings tests').
TEST(Win32Settings, AnEarlierInstallationsValuesAreTakenOverOnceAndItsKeyLeftAlone) {
    ScratchSettings scratch;
    const std::vector<RegValue> old = {{L"CommPort", REG_DWORD, {2, 0, 0, 0}},
                                       {L"OutputPath", REG_SZ, wideBytes(L"D:\\OLD")},
                                       {L"AutoSave", REG_BINARY, {0xFF}}};
    const std::string machineKey = plantMachineKey(scratch.location(), old);
    EXPECT_EQ(settingsRead(scratch.location()).commPort, 2);
    EXPECT_TRUE(settingsOpenStore(scratch.location())->keyCreatedNow()) << "reading wrote nothing";

    AppSettings s;
    ASSERT_TRUE(settingsLoad(s, scratch.location()));
    EXPECT_EQ(s.commPort, 2);
    EXPECT_EQ(s.outputPathText(), "D:\\OLD");
    EXPECT_EQ(s.autoSave, -1);
    EXPECT_EQ(s.baudRate, 1) << "what the old key lacks has its first-run value";
    for (const auto& [name, type, data] : old) {
        EXPECT_EQ(rawValue(HKEY_CURRENT_USER, scratch.location(), name), std::make_pair(type, data))
            << testing::PrintToString(std::wstring(name));
    }

    s.commPort = 1;
    ASSERT_TRUE(settingsSave(s, scratch.location()));
    plantMachineKey(scratch.location(), {{L"BaudRate", REG_DWORD, {6, 0, 0, 0}}});
    EXPECT_EQ(settingsRead(scratch.location()).baudRate, 1) << "the user's key, once it exists";
    EXPECT_EQ(rawValue(HKEY_LOCAL_MACHINE, machineKey, L"CommPort", KEY_WOW64_32KEY).second,
              (std::vector<uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(rawValue(HKEY_LOCAL_MACHINE, machineKey, L"Com1Device", KEY_WOW64_32KEY).first,
              static_cast<DWORD>(REG_NONE))
        << "nothing written to the machine's key";

    ScratchSettings cli;  // whose first store is a rate-only save
    plantMachineKey(cli.location(), {{L"CommPort", REG_DWORD, {2, 0, 0, 0}}});
    ASSERT_TRUE(settingsSaveAutoBaudRate(5, cli.location()));
    EXPECT_EQ(settingsRead(cli.location()).commPort, 2) << "taken over with the new key";
}

// --- The serial line ------------------------------------------------------------------

// Whatever the driver had, the line is raw 8N1 without flow control.
TEST(Win32SerialLine, SettingsAreRaw8N1WithoutFlowControl) {
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);
    serialWin32LineSettings(dcb, 115200);
    EXPECT_EQ(dcb.DCBlength, sizeof dcb);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_TRUE(dcb.fBinary);
    const struct {
        const char* what;
        DWORD bit;
    } off[] = {{"parity check", dcb.fParity},        {"CTS flow", dcb.fOutxCtsFlow},
               {"DSR flow", dcb.fOutxDsrFlow},       {"DSR sensitivity", dcb.fDsrSensitivity},
               {"XON/XOFF out", dcb.fOutX},          {"XON/XOFF in", dcb.fInX},
               {"NUL stripping", dcb.fNull},         {"error character", dcb.fErrorChar},
               {"abort on error", dcb.fAbortOnError}};
    for (const auto& [what, bit] : off) EXPECT_EQ(bit, 0u) << what;
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE)) << "not a handshake";
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE)) << "not a handshake";
}

// What a receiver sent before a command is thrown away by the purge, so
// that an old answer cannot pass for the new one. Needs a receiver on the
// port named by LUMAGRAB_TEST_PORT, which tests/windows/run-wine-tests gives.
TEST(Win32SerialLine, APurgeDiscardsWhatWaitsInTheInputQueue) {
    const char* port = std::getenv("LUMAGRAB_TEST_PORT");
    if (port == nullptr)
        GTEST_SKIP() << "no receiver: set LUMAGRAB_TEST_PORT";
    const std::unique_ptr<SerialDevice> device = makeSystemSerialDevice();
    int error = 0;
    ASSERT_TRUE(device->open(port, error)) << error;
    ASSERT_TRUE(device->configure(9600));
    const uint8_t productQuery[] = {0x10, 0xFE, 0x00, 0x02, 0x10, 0x03};
    ASSERT_TRUE(device->write(productQuery, sizeof productQuery));
    // The whole answer waits: its count has stopped growing.
    uint32_t waiting = 0;
    uint32_t before = 0;
    for (int pass = 0; pass < 200 && (waiting == 0 || waiting != before); ++pass) {
        before = waiting;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        device->takeErrors(waiting);
    }
    ASSERT_GT(waiting, 0u) << "the receiver did not answer";

    device->purge(purge::Clear);
    device->takeErrors(waiting);
    EXPECT_EQ(waiting, 0u);
    uint8_t left[64];
    EXPECT_EQ(device->read(left, sizeof left), 0);
}
