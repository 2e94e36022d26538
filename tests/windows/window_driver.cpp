// window_driver.exe: works lumagrab.exe for tests/windows/run-wine-window-tests as
// a user would, by window messages, and reads back what the user sees. It
// starts the program, then answers each command line on standard input with
// one line, "ok[ RESULT]" or "error WHY", so that a whole scenario runs in one
// Wine process (Wine's start costs about a second a process).
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
//   probe ID MS       press button ID, time the window's answers to WM_NULL every
//                     10 ms until its command has run (ID 0: for MS), and answer
//                     "ok LONGEST-GAP ITS-END-MS MS-TAKEN"
//   dialog MS TITLE   wait for a box or dialog of the program with this caption
//   message           the text of the dialog as a message box (the icon: win32_window_test)
//   dtext ID          the text of a control of the dialog
//   dpress ID         press a button of the dialog, wait up to 5 s for it to close
//   exit MS           wait for the program to end: "ok EXIT-CODE"
//
// Messages are posted, never sent, where the program may answer with a modal
// box: the driver must stay free to read it.
#include <windows.h>
// After windows.h, on which they build.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>

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
    while (!done()) {
        if (msSince(start) > ms)
            return false;
        Sleep(10);
    }
    return true;
}

// "ok" and the numbers, whole.
std::string ok(std::initializer_list<double> numbers) {
    std::string answer = "ok";
    for (double n : numbers) answer += ' ' + std::to_string(static_cast<long long>(n));
    return answer;
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

class Driver {
  public:
    ~Driver() {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 1);  // a scenario that stopped half-way
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }

    std::string run(const std::string& line);

  private:
    std::string start(const std::string& program) {
        std::wstring commandLine = L"\"" + widen(program) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = Clock::now();
        return done(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process_),
                    ("cannot start " + program).c_str());
    }

    // A shown top-level window of the program that `wanted` accepts, waited
    // for up to `ms`; null if none came.
    HWND topWindow(int ms, const std::function<bool(HWND)>& wanted) const {
        HWND w = nullptr;
        waitFor(ms, [&] {
            while ((w = FindWindowExW(nullptr, w, nullptr, nullptr)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == process_.dwProcessId && IsWindowVisible(w) && wanted(w))
                    return true;
            }
            return false;
        });
        return w;
    }

    HWND control(int id) const { return GetDlgItem(window_, id); }

    // Nothing running: every command control on, Download and Exit shown, the
    // progress bar hidden.
    bool idle() const {
        return std::ranges::all_of(res::kCommandControls,
                                   [&](int id) { return IsWindowEnabled(control(id)); }) &&
               IsWindowVisible(control(res::IDC_DOWNLOAD)) &&
               IsWindowVisible(control(res::ID_CANCEL)) &&
               !IsWindowVisible(control(res::IDC_PROGRESS));
    }

    std::string probe(int id, int ms) {
        const auto start = Clock::now();
        if (id != 0)
            PostMessageW(control(id), BM_CLICK, 0, 0);
        auto lastAnswer = start;
        double longestGap = 0;
        double longestAt = 0;
        for (bool seenBusy = false;; Sleep(10)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(ms),
                                &ignored);
            if (msSince(lastAnswer) > longestGap) {
                longestGap = msSince(lastAnswer);
                longestAt = msSince(start);
            }
            lastAnswer = Clock::now();
            seenBusy = seenBusy || !idle();
            if (id != 0 ? seenBusy && idle() : msSince(start) >= ms)
                return ok({longestGap, longestAt, msSince(start)});
            if (msSince(start) >= ms)
                return "error still busy";
        }
    }

    // The text of a message box: its Static control that is not its icon.
    std::string message() const {
        for (HWND child = GetWindow(dialog_, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (lstrcmpiW(name, L"Static") == 0 &&
                (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
                return "ok " + escaped(textOf(child));
        }
        return "error not a message box";
    }

    PROCESS_INFORMATION process_{};
    Clock::time_point started_;
    HWND window_ = nullptr;
    HWND dialog_ = nullptr;
};

// VERB NUMBER REST: most commands take an ID or a time, a few text after it.
std::string Driver::run(const std::string& line) {
    std::istringstream in(line);
    std::string verb, rest;
    int number = 0;
    in >> verb >> number;
    std::getline(in >> std::ws, rest);
    if (verb == "start")
        return start(line.substr(line.find(' ') + 1));
    if (!process_.hProcess)
        return "error nothing started";

    // The program as a whole: its window and its end.
    if (verb == "window") {
        window_ = topWindow(number, [](HWND w) { return GetWindow(w, GW_OWNER) == nullptr; });
        return window_ ? ok({msSince(started_)}) : "error no window";
    }
    if (verb == "exit") {
        if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(number)) != WAIT_OBJECT_0)
            return "error still running";
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return ok({double(code)});
    }

    // A box or dialog of the program.
    if (verb == "dialog") {
        dialog_ = topWindow(
            number, [&](HWND w) { return GetWindow(w, GW_OWNER) != nullptr && textOf(w) == rest; });
        return done(dialog_ != nullptr, "no such dialog");
    }
    if (verb == "message")
        return dialog_ ? message() : "error no dialog";
    if (verb == "dtext")
        return "ok " + escaped(textOf(GetDlgItem(dialog_, number)));
    if (verb == "dpress") {
        PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(number, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, number)));
        return done(waitFor(5000, [&] { return !IsWindow(dialog_); }), "still open");
    }

    // The window and its controls.
    if (!window_)
        return "error no window yet";
    const HWND item = control(number);
    std::istringstream restIn(rest);
    int ms = 0;
    restIn >> ms;  // until, probe
    if (verb == "text")
        return "ok " + escaped(textOf(item));
    if (verb == "until") {
        std::string text, shown;
        std::getline(restIn >> std::ws, text);
        const bool seen = waitFor(ms, [&] { return (shown = textOf(item)) == text; });
        return seen ? "ok" : "error it shows " + escaped(shown);
    }
    if (verb == "click")
        return done(PostMessageW(item, BM_CLICK, 0, 0), "no such control");
    if (verb == "command")
        return done(PostMessageW(window_, WM_COMMAND, MAKEWPARAM(number, 0), 0), "not posted");
    if (verb == "syscommand")
        return done(PostMessageW(window_, WM_SYSCOMMAND, static_cast<WPARAM>(number), 0),
                    "not posted");
    if (verb == "idle")
        return done(waitFor(number, [&] { return idle(); }), "still busy");
    if (verb == "busy")
        return done(waitFor(number, [&] { return IsWindowVisible(control(res::IDC_PROGRESS)); }),
                    "never busy");
    if (verb == "probe")
        return probe(number, ms);
    return "error unknown command " + verb;
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);  // answers end in a line feed alone
    Driver driver;
    std::string line;
    while (std::getline(std::cin, line)) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty())
            std::cout << driver.run(line) << '\n' << std::flush;
    }
    return 0;
}
