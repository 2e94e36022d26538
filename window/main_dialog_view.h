// What the main window's behaviour (MainDialog) asks of the front end that
// draws it: the small set of things a window can be told, each by control or
// command ID. A front end draws the descriptions of dialog_templates.h,
// implements this interface with its toolkit, and forwards the user's
// events to MainDialog by command ID; it decides nothing itself.
//
// Threads: every call comes on the window's thread, except wake(), which
// any thread may call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

class OutputDirectoryForm;
class CommPortsForm;

class MainDialogView {
  public:
    virtual ~MainDialogView() = default;

    // --- Controls of the main window --------------------------------------
    virtual void setControlText(int id, const std::string& text) = 0;
    virtual void enableControl(int id, bool enable) = 0;
    virtual void showControl(int id, bool show) = 0;
    // Checks or unchecks a radio button, whatever it shows now.
    virtual void checkControl(int id, bool checked) = 0;
    virtual void focusControl(int id) = 0;
    // A hint shown over the control (the port buttons name their devices).
    virtual void setControlTip(int id, const std::string& tip) = 0;
    // The progress bar (IDC_PROGRESS).
    virtual void setProgressRange(int32_t lower, int32_t upper) = 0;
    virtual void setProgressPosition(int32_t position) = 0;

    // --- Menus --------------------------------------------------------------
    virtual void enableMenuItem(int id, bool enable) = 0;
    // A whole menu of the menu bar, by its position, with everything in it.
    virtual void enableMenu(int position, bool enable) = 0;
    virtual void checkMenuItem(int id, bool checked) = 0;

    // --- Modal boxes and dialogs, owned by the main window -----------------
    // Returns the button pressed (msgbox::Id...).
    virtual int showMessage(const std::string& text, const std::string& caption,
                            uint32_t style) = 0;
    // The Save dialog; true with the chosen path in `chosen`.
    virtual bool askSaveFile(const SaveDialogRequest& request, std::string& chosen) = 0;
    // Set Output Directory and Set Comm Ports, run modally over their form;
    // true when the dialog ended with OK.
    virtual bool runOutputDirectoryDialog(OutputDirectoryForm& form) = 0;
    virtual bool runCommPortsDialog(CommPortsForm& form) = 0;
    virtual void showAbout(const std::string& versionHistory) = 0;
    virtual void showSupportedProducts(const std::vector<std::string>& lines) = 0;
    // Ends every box and dialog the window has open (as Cancel).
    virtual void closeDialogs() = 0;
    // Ends the main window: its modal run returns.
    virtual void closeWindow() = 0;

    // Any thread: asks the window's thread to call MainDialog::RunPosted()
    // soon (it must not wait for that).
    virtual void wake() = 0;
};
