// The main window drawn with the system's own controls: the main dialog's
// description as an in-memory dialog template with its menu bar, the view
// the window's behaviour talks to, and the window's messages forwarded to
// it. What the window does is the behaviour's; this class only draws and
// forwards.
//
// The system's headers define structures of the same names as the bitmap's
// and macros that clash with the core's names, so this header keeps them
// out: the window is known by its handle alone, and the behaviour by its
// events (MainDialogEvents).
#pragma once

#include "window/main_dialog_events.h"
#include "window/main_dialog_view.h"

struct HWND__;
struct HMENU__;
struct HICON__;

class Win32MainDialog : public MainDialogView {
  public:
    Win32MainDialog() = default;
    ~Win32MainDialog() override;

    // The behaviour the window forwards to; set before run().
    void attach(MainDialogEvents& behaviour) { behaviour_ = &behaviour; }
    // Runs the window modally until it closes; false when it could not start
    // (the reason has been shown).
    bool run();
    HWND__* window() const { return window_; }

    // MainDialogView
    void setControlText(int id, const std::string& text) override;
    void enableControl(int id, bool enable) override;
    void showControl(int id, bool show) override;
    void checkControl(int id, bool checked) override;
    void focusControl(int id) override;
    void setControlTip(int id, const std::string& tip) override;
    void setProgressRange(int32_t lower, int32_t upper) override;
    void setProgressPosition(int32_t position) override;
    void enableMenuItem(int id, bool enable) override;
    void enableMenu(int position, bool enable) override;
    void checkMenuItem(int id, bool checked) override;
    int showMessage(const std::string& text, const std::string& caption, uint32_t style) override;
    bool askSaveFile(const SaveDialogRequest& request, std::string& chosen) override;
    bool runOutputDirectoryDialog(OutputDirectoryForm& form) override;
    bool runCommPortsDialog(CommPortsForm& form) override;
    void showAbout(const std::string& versionHistory) override;
    void showSupportedProducts(const std::vector<std::string>& lines) override;
    void closeDialogs() override;
    void closeWindow() override;
    void wake() override;

    // The window's messages (from its dialog procedure).
    void initialise(HWND__* window);
    intptr_t handle(unsigned message, uintptr_t wParam, intptr_t lParam);

  private:
    void addSystemMenuAbout();
    void attachMenuKeepingTheClientArea();
    void paintMinimised();
    HWND__* item(int id) const;

    MainDialogEvents* behaviour_ = nullptr;
    HWND__* window_ = nullptr;
    HMENU__* menu_ = nullptr;
    HWND__* tips_ = nullptr;
    HICON__* largeIcon_ = nullptr;
    HICON__* smallIcon_ = nullptr;
    bool started_ = true;
};

// The window program: the Win32 window over the window's behaviour, run
// until it closes. Returns the process's exit status.
int runWindowProgram();
