// The Win32 front end: every description drawn as the system's dialog with
// each control of its kind, caption and ID; the menu bar and the system
// menu's About; every control and menu item reaching its command. What the
// window does is tested without a toolkit (tests/window).
#include <windows.h>
// After windows.h, on which it builds.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

#include "platform/wide_text_win32.h"
#include "win32/dialog_builder.h"
#include "win32/win32_dialogs.h"
#include "win32/win32_main_dialog.h"
#include "window/dialog_templates.h"
#include "window/main_dialog_events.h"
#include "window/resource_ids.h"

namespace {

std::string className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return narrow(name);
}

// The system's class name of each kind of control.
std::string expectedClass(ControlKind kind) {
    const ControlClass cls = controlClass(kind);
    if (cls.name)
        return narrow(cls.name);
    static const char* const atoms[] = {"Button",  "Edit",      "Static",
                                        "ListBox", "ScrollBar", "ComboBox"};
    return atoms[cls.atom - 0x80];
}

// Dialog units in pixels, each converted on its own as the dialog manager does.
RECT inPixels(HWND dialog, RECT units) {
    MapDialogRect(dialog, &units);
    return units;
}

// The first difference between the dialog and its description, or "".
std::string drawnUnlikeItsDescription(HWND dialog, const DialogTemplate& t) {
    if (windowText(dialog) != t.caption)
        return "caption " + windowText(dialog);
    const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    if (style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
        return "a sizing frame, or a minimise or maximise box";
    if (!(style & WS_SYSMENU))
        return "no close box";
    const RECT client = inPixels(dialog, {0, 0, t.width, t.height});
    RECT actual;
    GetClientRect(dialog, &actual);
    if (actual.right != client.right || actual.bottom != client.bottom)
        return "a client area of the wrong size";
    for (const ControlSpec& c : t.controls) {
        if (c.id == kNoControlId)
            continue;
        HWND control = GetDlgItem(dialog, c.id);
        const std::string where = "control " + std::to_string(c.id) + ": ";
        if (!control)
            return where + "missing";
        if (className(control) != expectedClass(c.kind))
            return where + className(control);
        if (c.kind != ControlKind::EditCombo && windowText(control) != c.caption)
            return where + windowText(control);
        const RECT place = inPixels(dialog, {c.x, c.y, c.width, c.height});  // place and width
        RECT drawn;
        GetWindowRect(control, &drawn);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&drawn), 2);
        if (drawn.left != place.left || drawn.top != place.top ||
            drawn.right - drawn.left != place.right)
            return where + "misplaced";
    }
    return {};
}

// The main window's events, recorded; the test runs from OnInitDialog.
class RecordingEvents : public MainDialogEvents {
  public:
    std::vector<int> commands;
    std::function<void()> whenStarted;
    std::string error;

    bool OnInitDialog() override {
        whenStarted();
        return true;
    }
    const std::string& startError() const override { return error; }
    bool OnCommand(int id) override {
        commands.push_back(id);
        return true;
    }
    bool OnSysCommand(int id) override {
        if ((id & 0xFFF0) != res::ID_SYSTEM_ABOUT)
            return false;
        commands.push_back(-id);
        return true;
    }
    void OnDestroy() override {}
    void RunPosted() override {}
};

// The icon of the message box "Icons", read from a timer that runs in the
// box's modal loop, which then ends the box.
HICON gIconShown = nullptr;

void CALLBACK readIconAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(nullptr, L"Icons");
    if (!box)
        return;
    KillTimer(nullptr, timer);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (className(child) == "Static" && IsWindowVisible(child) &&
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            gIconShown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// The system's control classes the dialogs use, registered as the program does.
class Win32Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                           ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
};

}  // namespace

TEST_F(Win32Window, EveryDescriptionIsDrawnAsDescribed) {
    for (const DialogTemplate* t : allDialogTemplates()) {
        if (t->hasMenu)
            continue;  // the main window, below, with its menu bar
        ModalDialog dialog(*t);
        std::string mismatch = "not shown";
        dialog.onInit = [&](HWND window) {
            mismatch = drawnUnlikeItsDescription(window, *t);
            EndDialog(window, IDCANCEL);
        };
        dialog.run(nullptr);
        EXPECT_EQ(mismatch, "") << t->caption;
    }
}

TEST_F(Win32Window, TheMainWindowIsDrawnAndEveryControlAndMenuItemReachesItsCommand) {
    Win32MainDialog window;
    RecordingEvents events;
    window.attach(events);
    std::string mismatch = "not shown";
    std::vector<int> expected;
    events.whenStarted = [&] {
        HWND w = window.window();
        mismatch = drawnUnlikeItsDescription(w, kMainDialogTemplate);
        EXPECT_TRUE(GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_APPWINDOW);  // a task-bar button
        for (int id : res::kCommandControls) {
            SendMessageW(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(w, id)));
            expected.push_back(id);
        }
        HMENU menu = GetMenu(w);
        for (const MenuEntry& entry : mainMenu()) {
            if (entry.id == 0)
                continue;
            EXPECT_NE(GetMenuState(menu, entry.id, MF_BYCOMMAND), UINT(-1)) << entry.text;
            SendMessageW(w, WM_COMMAND, MAKEWPARAM(entry.id, 0), 0);
            expected.push_back(entry.id);
        }
        wchar_t about[64] = {};
        GetMenuStringW(GetSystemMenu(w, FALSE), res::ID_SYSTEM_ABOUT, about, 64, MF_BYCOMMAND);
        EXPECT_EQ(narrow(about), kSystemMenuAboutText);
        SendMessageW(w, WM_SYSCOMMAND, res::ID_SYSTEM_ABOUT, 0);
        expected.push_back(-res::ID_SYSTEM_ABOUT);
        // The view: a port's button checked, a whole menu off by its position,
        // a check mark by command.
        window.checkControl(res::IDC_COM2, true);
        EXPECT_EQ(IsDlgButtonChecked(w, res::IDC_COM2), UINT(BST_CHECKED));
        window.enableMenu(kSettingsMenuPosition, false);
        EXPECT_TRUE(GetMenuState(menu, kSettingsMenuPosition, MF_BYPOSITION) & MF_GRAYED);
        window.checkMenuItem(res::ID_BAUD_AUTO, true);
        EXPECT_TRUE(GetMenuState(menu, res::ID_BAUD_AUTO, MF_BYCOMMAND) & MF_CHECKED);
        window.closeWindow();
    };
    EXPECT_TRUE(window.run());
    EXPECT_EQ(mismatch, "");
    EXPECT_EQ(events.commands, expected);
}

// Each style's box shows the system's own icon, or none.
TEST_F(Win32Window, AMessageBoxShowsTheIconOfItsStyle) {
    const std::pair<uint32_t, LPCSTR> styles[] = {{msgbox::Ok, nullptr},
                                                  {msgbox::IconStop, IDI_HAND},
                                                  {msgbox::IconExclamation, IDI_EXCLAMATION},
                                                  {msgbox::IconInformation, IDI_ASTERISK}};
    for (const auto& [style, icon] : styles) {
        gIconShown = nullptr;
        SetTimer(nullptr, 0, 10, readIconAndClose);
        EXPECT_EQ(showMessageBox(nullptr, "A message.", "Icons", style), msgbox::IdOk);
        EXPECT_EQ(gIconShown, icon ? LoadIconA(nullptr, icon) : nullptr) << style;
    }
}
