// The system's boxes and dialogs for the Win32 front end: message boxes and
// the common Save dialog, and the Help and Settings dialogs drawn from their
// descriptions over the toolkit-free forms that decide what they do. Each
// is modal and owned by `owner`.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "window/dialog_templates.h"

class OutputDirectoryForm;
class CommPortsForm;

// A modal dialog drawn from a description, whose behaviour is given as
// hooks. OK and Cancel end it unless `onCommand` takes them.
class ModalDialog {
  public:
    explicit ModalDialog(const DialogTemplate& description) : description_(description) {}

    std::function<void(HWND dialog)> onInit;
    // True when the command was handled.
    std::function<bool(HWND dialog, int id, int code)> onCommand;

    // The dialog's result (IDOK, IDCANCEL), or -1 when it could not be made.
    INT_PTR run(HWND owner);

  private:
    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    const DialogTemplate& description_;
};

// The text of a window or control, as UTF-8.
std::string windowText(HWND window);

int showMessageBox(HWND owner, const std::string& text, const std::string& caption, uint32_t style);
bool showSaveDialog(HWND owner, const SaveDialogRequest& request, std::string& chosen);

void runAboutDialog(HWND owner, const std::string& versionHistory);
void runSupportedProductsDialog(HWND owner, const std::vector<std::string>& lines);
bool runOutputDirectoryDialog(HWND owner, OutputDirectoryForm& form);
bool runCommPortsDialog(HWND owner, CommPortsForm& form);
