#include "win32/win32_dialogs.h"

// After windows.h, which the header brings.
#include <commdlg.h>
#include <shlobj.h>

#include "platform/wide_text_win32.h"
#include "win32/dialog_builder.h"
#include "window/resource_ids.h"
#include "window/settings_forms.h"

namespace {

// Room for a chosen path, in characters.
constexpr DWORD kPathCharacters = 1024;

// "Description\0pattern\0...\0\0", the filter list of the common dialogs.
std::wstring filterList(const SaveDialogRequest& request) {
    std::wstring list;
    for (const auto& [description, pattern] : request.filters) {
        list += widen(description) + L'\0';
        list += widen(pattern) + L'\0';
    }
    return list + L'\0';
}

// A refusal by the form: its message over the dialog.
bool refused(HWND dialog, const std::optional<DialogMessage>& refusal) {
    if (refusal)
        showMessageBox(dialog, refusal->text, refusal->caption, refusal->style);
    return refusal.has_value();
}

void chooseDirectoryInto(HWND dialog, HWND field) {
    const std::wstring title = L"Choose Output Directory";
    BROWSEINFOW browse{};
    browse.hwndOwner = dialog;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path))
        SetWindowTextW(field, path);
    CoTaskMemFree(chosen);
}

}  // namespace

INT_PTR ModalDialog::run(HWND owner) {
    const std::vector<uint32_t> tmpl = buildDialogTemplate(description_);
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                   reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), owner,
                                   procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ModalDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* self = reinterpret_cast<ModalDialog*>(lParam);
        if (self->onInit)
            self->onInit(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self || message != WM_COMMAND)
        return FALSE;
    const int id = LOWORD(wParam);
    if (self->onCommand && self->onCommand(dialog, id, HIWORD(wParam)))
        return TRUE;
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(dialog, id);
        return TRUE;
    }
    return FALSE;
}

std::string windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

int showMessageBox(HWND owner, const std::string& text, const std::string& caption,
                   uint32_t style) {
    return MessageBoxW(owner, widen(text).c_str(), widen(caption).c_str(), style);
}

bool showSaveDialog(HWND owner, const SaveDialogRequest& request, std::string& chosen) {
    std::wstring path = widen(request.fileName);
    path.resize(kPathCharacters);
    const std::wstring filters = filterList(request);
    const std::wstring directory = widen(request.initialDirectory);
    const std::wstring title = widen(request.title);
    const std::wstring extension = widen(request.defaultExtension);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathCharacters;
    dialog.lpstrInitialDir = directory.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = request.overwritePrompt ? OFN_OVERWRITEPROMPT : 0;
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    if (!GetSaveFileNameW(&dialog))
        return false;
    chosen = narrow(path.c_str());
    return true;
}

void runAboutDialog(HWND owner, const std::string& versionHistory) {
    ModalDialog about(kAboutTemplate);
    about.onInit = [&](HWND dialog) {
        SetDlgItemTextW(dialog, res::IDC_HISTORY, widen(versionHistory).c_str());
    };
    about.run(owner);
}

void runSupportedProductsDialog(HWND owner, const std::vector<std::string>& lines) {
    ModalDialog help(kSupportedProductsTemplate);
    help.onInit = [&](HWND dialog) {
        for (const std::string& line : lines) {
            SendDlgItemMessageW(dialog, res::IDC_PRODUCT_LIST, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(widen(line).c_str()));
        }
    };
    help.run(owner);
}

bool runOutputDirectoryDialog(HWND owner, OutputDirectoryForm& form) {
    ModalDialog dialog(kOutputDirectoryTemplate);
    dialog.onInit = [&](HWND window) {
        SetDlgItemTextW(window, res::IDC_OUTPUT_DIRECTORY, widen(form.fieldText()).c_str());
    };
    dialog.onCommand = [&](HWND window, int id, int) {
        HWND field = GetDlgItem(window, res::IDC_OUTPUT_DIRECTORY);
        if (id == res::IDC_BROWSE) {
            chooseDirectoryInto(window, field);
            return true;
        }
        if (id != IDOK || !refused(window, form.accept(windowText(field))))
            return false;
        SendMessageW(field, EM_SETSEL, 0, GetWindowTextLengthW(field));
        SetFocus(field);
        return true;
    };
    return dialog.run(owner) == IDOK;
}

bool runCommPortsDialog(HWND owner, CommPortsForm& form) {
    ModalDialog dialog(kCommPortsTemplate);
    dialog.onInit = [&](HWND window) {
        for (auto [id, current] : {std::pair{res::IDC_COM1_DEVICE, form.com1Device()},
                                   {res::IDC_COM2_DEVICE, form.com2Device()}}) {
            for (const std::string& device : form.devicesOffered()) {
                SendDlgItemMessageW(window, id, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(widen(device).c_str()));
            }
            SetDlgItemTextW(window, id, widen(current).c_str());
        }
    };
    dialog.onCommand = [&](HWND window, int id, int) {
        return id == IDOK &&
               refused(window, form.accept(windowText(GetDlgItem(window, res::IDC_COM1_DEVICE)),
                                           windowText(GetDlgItem(window, res::IDC_COM2_DEVICE))));
    };
    return dialog.run(owner) == IDOK;
}
