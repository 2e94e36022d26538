#include "win32/win32_main_dialog.h"

#include <windows.h>
// After windows.h, on which it builds.
#include <commctrl.h>

#include <utility>

#include "platform/wide_text_win32.h"
#include "session/device_messages.h"
#include "win32/dialog_builder.h"
#include "win32/win32_dialogs.h"
#include "window/dialog_templates.h"
#include "window/main_dialog_events.h"
#include "window/resource_ids.h"

namespace {

// Posted by wake(): the worker has steps for the window.
constexpr UINT kWakeMessage = WM_APP + 1;

INT_PTR CALLBACK mainDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<Win32MainDialog*>(lParam)->initialise(window);
        return TRUE;  // the focus goes to the first tab stop, Download
    }
    auto* self = reinterpret_cast<Win32MainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->handle(message, wParam, lParam) : FALSE;
}

HICON loadIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The boxes and dialogs the window owns, directly or through one another.
bool ownedBy(HWND window, HWND owner) {
    for (HWND w = GetWindow(window, GW_OWNER); w; w = GetWindow(w, GW_OWNER)) {
        if (w == owner)
            return true;
    }
    return false;
}

}  // namespace

Win32MainDialog::~Win32MainDialog() {
    if (largeIcon_)
        DestroyIcon(largeIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

bool Win32MainDialog::run() {
    const std::vector<uint32_t> tmpl = buildDialogTemplate(kMainDialogTemplate, WS_EX_APPWINDOW);
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                            reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), nullptr,
                            mainDialogProcedure, reinterpret_cast<LPARAM>(this));
    return started_;
}

intptr_t Win32MainDialog::handle(unsigned message, uintptr_t wParam, intptr_t) {
    switch (message) {
        case WM_COMMAND:
            // Buttons, menu items, Escape and the close box (IDCANCEL).
            if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1)
                behaviour_->OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_SYSCOMMAND:
            return behaviour_->OnSysCommand(static_cast<int>(wParam)) ? TRUE : FALSE;
        case kWakeMessage:
            behaviour_->RunPosted();
            return TRUE;
        case WM_ENDSESSION:
            // The session ends and the process with it: stop and save now.
            if (wParam)
                behaviour_->OnDestroy();
            return TRUE;
        case WM_DESTROY:
            behaviour_->OnDestroy();
            return FALSE;
        case WM_PAINT:
            if (!IsIconic(window_))
                return FALSE;
            paintMinimised();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(largeIcon_);
        default:
            return FALSE;
    }
}

HWND Win32MainDialog::item(int id) const {
    return GetDlgItem(window_, id);
}

void Win32MainDialog::initialise(HWND window) {
    window_ = window;
    addSystemMenuAbout();
    largeIcon_ = loadIcon(GetSystemMetrics(SM_CXICON));
    smallIcon_ = loadIcon(GetSystemMetrics(SM_CXSMICON));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    attachMenuKeepingTheClientArea();
    tips_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!behaviour_->OnInitDialog()) {
        started_ = false;
        showMessageBox(window_, behaviour_->startError(), kMessageCaption, msgbox::IconStop);
        EndDialog(window_, IDCANCEL);
    }
}

// The system menu's About entry, command 16, after a separator.
void Win32MainDialog::addSystemMenuAbout() {
    HMENU system = GetSystemMenu(window_, FALSE);
    const std::wstring about = widen(kSystemMenuAboutText);
    if (!system || about.empty())
        return;
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, res::ID_SYSTEM_ABOUT, about.c_str());
}

// A menu bar added to a window takes its room from the client area: the
// window grows by it, so that the controls keep the place they were given.
void Win32MainDialog::attachMenuKeepingTheClientArea() {
    menu_ = buildMainMenu();
    RECT client = {0, 0, kMainDialogTemplate.width, kMainDialogTemplate.height};
    MapDialogRect(window_, &client);
    SetMenu(window_, menu_);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
    AdjustWindowRectEx(&client, style, TRUE, exStyle);
    SetWindowPos(window_, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainDialog::paintMinimised() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window_, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, largeIcon_);
    EndPaint(window_, &paint);
}

// --- MainDialogView --------------------------------------------------------------

void Win32MainDialog::setControlText(int id, const std::string& text) {
    SetDlgItemTextW(window_, id, widen(text).c_str());
}

void Win32MainDialog::enableControl(int id, bool enable) {
    EnableWindow(item(id), enable);
}

void Win32MainDialog::showControl(int id, bool show) {
    ShowWindow(item(id), show ? SW_SHOW : SW_HIDE);
}

void Win32MainDialog::checkControl(int id, bool checked) {
    SendDlgItemMessageW(window_, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32MainDialog::focusControl(int id) {
    SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
}

void Win32MainDialog::setControlTip(int id, const std::string& tip) {
    std::wstring text = widen(tip);
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = reinterpret_cast<UINT_PTR>(item(id));
    info.lpszText = text.data();
    SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Win32MainDialog::setProgressRange(int32_t lower, int32_t upper) {
    SendDlgItemMessageW(window_, res::IDC_PROGRESS, PBM_SETRANGE32, static_cast<WPARAM>(lower),
                        upper);
}

void Win32MainDialog::setProgressPosition(int32_t position) {
    SendDlgItemMessageW(window_, res::IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// The items are in the pop-up menus, drawn afresh each time one opens.
void Win32MainDialog::enableMenuItem(int id, bool enable) {
    EnableMenuItem(menu_, static_cast<UINT>(id), MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

// A menu of the bar: the bar is painted again with the rest of the frame
// when the window next paints. DrawMenuBar would also lay the frame out
// anew at once, which under Wine has held the window up for 80 ms at the
// start and end of a command.
void Win32MainDialog::enableMenu(int position, bool enable) {
    EnableMenuItem(menu_, static_cast<UINT>(position),
                   MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
    RedrawWindow(window_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void Win32MainDialog::checkMenuItem(int id, bool checked) {
    CheckMenuItem(menu_, static_cast<UINT>(id),
                  MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

int Win32MainDialog::showMessage(const std::string& text, const std::string& caption,
                                 uint32_t style) {
    return showMessageBox(window_, text, caption, style);
}

bool Win32MainDialog::askSaveFile(const SaveDialogRequest& request, std::string& chosen) {
    return showSaveDialog(window_, request, chosen);
}

bool Win32MainDialog::runOutputDirectoryDialog(OutputDirectoryForm& form) {
    return ::runOutputDirectoryDialog(window_, form);
}

bool Win32MainDialog::runCommPortsDialog(CommPortsForm& form) {
    return ::runCommPortsDialog(window_, form);
}

void Win32MainDialog::showAbout(const std::string& versionHistory) {
    runAboutDialog(window_, versionHistory);
}

void Win32MainDialog::showSupportedProducts(const std::vector<std::string>& lines) {
    runSupportedProductsDialog(window_, lines);
}

void Win32MainDialog::closeDialogs() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM owner) {
            if (ownedBy(w, reinterpret_cast<HWND>(owner)) && IsWindowVisible(w))
                PostMessageW(w, WM_CLOSE, 0, 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(window_));
}

void Win32MainDialog::closeWindow() {
    EndDialog(window_, IDCANCEL);
}

void Win32MainDialog::wake() {
    PostMessageW(window_, kWakeMessage, 0, 0);
}
