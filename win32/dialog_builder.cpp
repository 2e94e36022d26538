#include "win32/dialog_builder.h"

#include <commctrl.h>

#include <cstring>

#include "platform/wide_text_win32.h"

namespace {

constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;
constexpr WORD kListBox = 0x0083;
constexpr WORD kComboBox = 0x0085;

// How much taller a drop-down list is than its closed field.
constexpr short kDropDownHeight = 80;

// The template's words, as the dialog manager reads them.
class TemplateWriter {
  public:
    void word(WORD value) { words_.push_back(value); }
    void dword(DWORD value) {
        word(LOWORD(value));
        word(HIWORD(value));
    }
    void text(const std::string& utf8Text) {
        for (wchar_t c : widen(utf8Text)) word(static_cast<WORD>(c));
        word(0);
    }
    void alignToDword() {
        if (words_.size() % 2 != 0)
            word(0);
    }
    std::vector<uint32_t> finish() {
        alignToDword();
        std::vector<uint32_t> dwords(words_.size() / 2);
        std::memcpy(dwords.data(), words_.data(), words_.size() * sizeof(WORD));
        return dwords;
    }

  private:
    std::vector<WORD> words_;
};

// Arrow keys move among radio buttons up to the next control that starts a
// group: the first radio button of a run starts one, and so does whatever
// follows the run.
DWORD groupStyle(std::span<const ControlSpec> controls, size_t index) {
    const auto radio = [&](size_t i) { return controls[i].kind == ControlKind::AutoRadio; };
    const bool startsRun = radio(index) && (index == 0 || !radio(index - 1));
    const bool endsRun = !radio(index) && index > 0 && radio(index - 1);
    return startsRun || endsRun ? WS_GROUP : 0;
}

void writeControl(TemplateWriter& out, const ControlSpec& control, DWORD extraStyle) {
    const ControlClass cls = controlClass(control.kind);
    out.alignToDword();
    out.dword(WS_CHILD | WS_VISIBLE | cls.style | extraStyle);
    out.dword(0);
    out.word(static_cast<WORD>(control.x));
    out.word(static_cast<WORD>(control.y));
    out.word(static_cast<WORD>(control.width));
    const bool dropDown = control.kind == ControlKind::EditCombo;
    out.word(static_cast<WORD>(control.height + (dropDown ? kDropDownHeight : 0)));
    out.word(static_cast<WORD>(control.id));  // kNoControlId is the system's 0xFFFF
    if (cls.name) {
        out.text(narrow(cls.name));
    } else {
        out.word(0xFFFF);
        out.word(cls.atom);
    }
    if (control.kind == ControlKind::Icon) {
        out.word(0xFFFF);  // the icon resource, which the dialog manager loads
        out.word(kIconResource);
    } else {
        out.text(control.caption);
    }
    out.word(0);  // no creation data
}

}  // namespace

ControlClass controlClass(ControlKind kind) {
    switch (kind) {
        case ControlKind::DefPushButton:
            return {BS_DEFPUSHBUTTON | WS_TABSTOP, kButton, nullptr};
        case ControlKind::PushButton:
            return {BS_PUSHBUTTON | WS_TABSTOP, kButton, nullptr};
        case ControlKind::GroupBox:
            return {BS_GROUPBOX, kButton, nullptr};
        case ControlKind::Text:
            return {SS_LEFT, kStatic, nullptr};
        case ControlKind::RightText:
            return {SS_RIGHT, kStatic, nullptr};
        case ControlKind::PlainText:
            return {SS_LEFT | SS_NOPREFIX, kStatic, nullptr};
        case ControlKind::AutoRadio:
            return {BS_AUTORADIOBUTTON | WS_TABSTOP, kButton, nullptr};
        case ControlKind::ProgressBar:
            return {WS_BORDER, 0, PROGRESS_CLASSW};
        case ControlKind::PathEdit:
            // Windows' file names ignore case: the field shows them in capitals.
            return {ES_AUTOHSCROLL | ES_UPPERCASE | WS_BORDER | WS_TABSTOP, kEdit, nullptr};
        case ControlKind::HistoryView:
            return {ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL |
                        WS_BORDER | WS_TABSTOP,
                    kEdit, nullptr};
        case ControlKind::SortedList:
            // The lines come in list order already; the system's own sort
            // would follow the locale instead.
            return {LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
                    kListBox, nullptr};
        case ControlKind::EditCombo:
            return {CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, kComboBox, nullptr};
        case ControlKind::Icon:
            return {SS_ICON, kStatic, nullptr};
    }
    return {0, kStatic, nullptr};
}

std::vector<uint32_t> buildDialogTemplate(const DialogTemplate& dialog, DWORD extendedStyle) {
    TemplateWriter out;
    // A fixed-size dialog frame with a close box; no minimise or maximise box.
    out.dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
    out.dword(extendedStyle);
    out.word(static_cast<WORD>(dialog.controls.size()));
    out.word(0);
    out.word(0);
    out.word(static_cast<WORD>(dialog.width));
    out.word(static_cast<WORD>(dialog.height));
    out.word(0);  // the menu bar comes later, built from its description
    out.word(0);  // the system's dialog class
    out.text(dialog.caption);
    out.word(static_cast<WORD>(dialog.font.pointSize));
    out.text(dialog.font.face);
    for (size_t i = 0; i < dialog.controls.size(); ++i)
        writeControl(out, dialog.controls[i], groupStyle(dialog.controls, i));
    return out.finish();
}

HMENU buildMainMenu() {
    HMENU bar = CreateMenu();
    std::vector<HMENU> open = {bar};  // the menus being filled, innermost last
    std::vector<std::wstring> titles;
    for (const MenuEntry& entry : mainMenu()) {
        switch (entry.kind) {
            case MenuEntryKind::Popup:
                open.push_back(CreatePopupMenu());
                titles.push_back(widen(entry.text));
                break;
            case MenuEntryKind::EndPopup: {
                const HMENU popup = open.back();
                open.pop_back();
                AppendMenuW(open.back(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                            titles.back().c_str());
                titles.pop_back();
                break;
            }
            case MenuEntryKind::Separator:
                AppendMenuW(open.back(), MF_SEPARATOR, 0, nullptr);
                break;
            case MenuEntryKind::Item:
            case MenuEntryKind::CheckItem:
                AppendMenuW(open.back(), MF_STRING, static_cast<UINT_PTR>(entry.id),
                            widen(entry.text).c_str());
                break;
        }
    }
    return bar;
}
