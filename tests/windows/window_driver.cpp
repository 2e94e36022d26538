// window_driver.exe: drives lumagrab.exe for tests/windows/run-wine-window-tests
// as a user would, with window messages, and reads back what the user sees.
// It starts the program, then reads one command per line on standard input
// and answers each with one line on standard output, "ok[ RESULT]" or
// "error WHY", so that a whole scenario runs in one Wine process (Wine's
// start costs about a second a process).
//
// "The window" is the program's main window (its only window without an
// owner); "the dialog" is the box or dialog last found by `dialog`. IDs are
// decimal, times in milliseconds; a text answer has its line feeds as \n.
//
//   start PROGRAM     start it (no arguments)
//   window MS         wait for the window to show: "ok MS-SINCE-START"
//   text ID           the text of a control of the window
//   until ID MS TEXT  wait until a control of the window shows TEXT
//   click ID          press a button of the window (BM_CLICK)
//   command ID        WM_COMMAND as a menu item sends it (2: Escape's IDCANCEL)
//   syscommand ID     WM_SYSCOMMAND (16: the system menu's About; 61536: the close box)
//   idle MS           wait until the commands are on and Download is shown
//   busy MS           wait until the progress bar is shown
//   probe ID MS       press button ID and time the window's answers (WM_NULL
//                     every 10 ms) until its command has run, or with ID 0 for
//                     MS: "ok LONGEST-GAP ITS-END-MS MS-TAKEN"
//   dialog MS TITLE   wait for a box or dialog of the program with this caption
//   message           the text of the dialog as a message box (its icon is
//                     win32_window_test.cpp's)
//   dtext ID          the text of a control of the dialog
//   dpress ID         press a button of the dialog (WM_COMMAND) and wait up
//                     to 5 s for the dialog to close
//   exit MS           wait for the program to end: "ok EXIT-CODE"
//
// Messages are posted, never sent, where the program may answer with a modal
// box: the driver must stay free to read it.
#include <windows.h>
// After windows.h, on which they build.
#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/wide_text_win32.h"
#include "window/resource_ids.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Polls `done` every 10 ms for up to `ms`.
bool waitFor(int ms, const std::function<bool()>& done) {
    const auto start = Clock::now();
    for (;;) {
        if (done())
            return true;
        if (msSince(start) > ms)
            return false;
        Sleep(10);
    }
}

std::string done(bool ok, const char* otherwise) {
    return ok ? std::string("ok") : std::string("error ") + otherwise;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

// The text of a window of another process: WM_GETTEXT, which the system
// carries across (GetWindowText would not ask an edit field).
std::string textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!window ||
        !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return narrow(text);
}

// --- The program and its windows ---------------------------------------------------

class Driver {
  public:
    ~Driver() {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 1);  // a scenario that stopped half-way
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }

    // One command line; returns the answer.
    std::string run(const std::string& line);

  private:
    // VERB NUMBER REST: most commands take a number, a few text after it.
    struct Command {
        std::string verb;
        int number = 0;
        std::string rest;
    };
    // Each answers the commands of its group, and "" to others.
    std::string programCommand(const Command& c);
    std::string dialogCommand(const Command& c);
    std::string windowCommand(const Command& c);

    std::string start(const std::string& program);
    HWND topWindow(const std::function<bool(HWND)>& wanted) const;
    HWND control(int id) const { return GetDlgItem(window_, id); }
    bool idle() const;
    std::string probe(int id, int ms);
    std::string message() const;

    PROCESS_INFORMATION process_{};
    Clock::time_point started_;
    HWND window_ = nullptr;
    HWND dialog_ = nullptr;
};

std::string Driver::start(const std::string& program) {
    std::wstring commandLine = L"\"" + widen(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = Clock::now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_))
        return "error cannot start " + program;
    return "ok";
}

// A shown top-level window of the program that `wanted` accepts.
HWND Driver::topWindow(const std::function<bool(HWND)>& wanted) const {
    struct Search {
        DWORD process;
        const std::function<bool(HWND)>& wanted;
        HWND found = nullptr;
    } search{process_.dwProcessId, wanted};
    EnumWindows(
        [](HWND w, LPARAM data) {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != s.process || !IsWindowVisible(w) || !s.wanted(w))
                return TRUE;
            s.found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Nothing running: every command control on, Download and Exit shown, the
// progress bar hidden.
bool Driver::idle() const {
    for (int id : res::kCommandControls) {
        if (!IsWindowEnabled(control(id)))
            return false;
    }
    return IsWindowVisible(control(res::IDC_DOWNLOAD)) &&
           IsWindowVisible(control(res::ID_CANCEL)) && !IsWindowVisible(control(res::IDC_PROGRESS));
}

std::string Driver::probe(int id, int ms) {
    const auto start = Clock::now();
    if (id != 0)
        PostMessageW(control(id), BM_CLICK, 0, 0);
    auto lastAnswer = start;
    double longestGap = 0;
    double longestAt = 0;
    bool seenBusy = false;
    for (;;) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(ms), &ignored);
        if (msSince(lastAnswer) > longestGap) {
            longestGap = msSince(lastAnswer);
            longestAt = msSince(start);
        }
        lastAnswer = Clock::now();
        seenBusy = seenBusy || !idle();
        const bool ran = id != 0 && seenBusy && idle();
        if (ran || (id == 0 && msSince(start) >= ms)) {
            std::ostringstream answer;
            answer << "ok " << static_cast<int>(longestGap) << ' ' << static_cast<int>(longestAt)
                   << ' ' << static_cast<int>(msSince(start));
            return answer.str();
        }
        if (msSince(start) >= ms)
            return "error still busy";
        Sleep(10);
    }
}

// The text of a message box: its Static control that is not its icon.
std::string Driver::message() const {
    for (HWND child = GetWindow(dialog_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        GetClassNameW(child, name, 16);
        if (lstrcmpiW(name, L"Static") == 0 &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            return "ok " + escaped(textOf(child));
    }
    return "error not a message box";
}

std::string Driver::run(const std::string& line) {
    Command c;
    std::istringstream in(line);
    in >> c.verb >> c.number;
    std::getline(in >> std::ws, c.rest);
    if (c.verb == "start")
        return start(line.substr(line.find(' ') + 1));
    if (!process_.hProcess)
        return "error nothing started";
    if (std::string answer = programCommand(c); !answer.empty())
        return answer;
    if (std::string answer = dialogCommand(c); !answer.empty())
        return answer;
    return window_ ? windowCommand(c) : "error no window yet";
}

// The program as a whole: its window and its end.
std::string Driver::programCommand(const Command& c) {
    if (c.verb == "window") {
        const bool shown = waitFor(c.number, [&] {
            window_ = topWindow([](HWND w) { return GetWindow(w, GW_OWNER) == nullptr; });
            return window_ != nullptr;
        });
        return shown ? "ok " + std::to_string(static_cast<int>(msSince(started_)))
                     : "error no window";
    }
    if (c.verb == "exit") {
        if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(c.number)) != WAIT_OBJECT_0)
            return "error still running";
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return "ok " + std::to_string(code);
    }
    return {};
}

std::string Driver::dialogCommand(const Command& c) {
    if (c.verb == "dialog") {
        dialog_ = nullptr;
        const bool found = waitFor(c.number, [&] {
            dialog_ = topWindow(
                [&](HWND w) { return GetWindow(w, GW_OWNER) != nullptr && textOf(w) == c.rest; });
            return dialog_ != nullptr;
        });
        return done(found, "no such dialog");
    }
    if (c.verb == "message")
        return dialog_ ? message() : "error no dialog";
    if (c.verb == "dtext")
        return "ok " + escaped(textOf(GetDlgItem(dialog_, c.number)));
    if (c.verb == "dpress") {
        PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(c.number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, c.number)));
        return done(waitFor(5000, [&] { return !IsWindow(dialog_); }), "still open");
    }
    return {};
}

std::string Driver::windowCommand(const Command& c) {
    const HWND item = control(c.number);
    std::istringstream rest(c.rest);
    int ms = 0;
    rest >> ms;  // until, probe
    if (c.verb == "text")
        return "ok " + escaped(textOf(item));
    if (c.verb == "until") {
        std::string text, shown;
        std::getline(rest >> std::ws, text);
        const bool seen = waitFor(ms, [&] { return (shown = textOf(item)) == text; });
        return seen ? "ok" : "error it shows " + escaped(shown);
    }
    if (c.verb == "click")
        return done(PostMessageW(item, BM_CLICK, 0, 0), "no such control");
    if (c.verb == "command")
        return done(PostMessageW(window_, WM_COMMAND, MAKEWPARAM(c.number, 0), 0), "not posted");
    if (c.verb == "syscommand")
        return done(PostMessageW(window_, WM_SYSCOMMAND, static_cast<WPARAM>(c.number), 0),
                    "not posted");
    if (c.verb == "idle")
        return done(waitFor(c.number, [&] { return idle(); }), "still busy");
    if (c.verb == "busy")
        return done(waitFor(c.number, [&] { return IsWindowVisible(control(res::IDC_PROGRESS)); }),
                    "never busy");
    if (c.verb == "probe")
        return probe(c.number, ms);
    return "error unknown command " + c.verb;
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // answers end in a line feed alone
    Driver driver;
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.empty())
            continue;
        std::printf("%s\n", driver.run(line).c_str());
        std::fflush(stdout);
    }
    return 0;
}
