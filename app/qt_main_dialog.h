// The main window drawn with Qt: the main dialog's description and the menu
// bar as widgets, the view that MainDialog talks to, and the user's events
// forwarded to it by command ID. What the window does is MainDialog's; this
// class only draws and forwards.
#pragma once

#include <QDialog>

#include "window/main_dialog.h"
#include "window/main_dialog_view.h"

class QMenuBar;

class QtMainDialog : public QDialog, public MainDialogView {
    Q_OBJECT

  public:
    explicit QtMainDialog(MainDialog::Options options = {});
    ~QtMainDialog() override;  // the tear-down, if the window was set up

    // The start-up sequence; false when the window must not run (see
    // MainDialog::OnInitDialog).
    bool start();
    MainDialog& behaviour() { return behaviour_; }
    QMenuBar* menuBar() const { return menuBar_; }

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

  public slots:
    // Escape, the close box and Exit come here; what they do is the behaviour's.
    void reject() override;

  protected:
    // Every event of a control or menu item ends here, by command ID.
    virtual void forward(int id) { behaviour_.OnCommand(id); }

  private:
    QWidget* control(int id) const;

    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    MainDialog behaviour_;  // after the widgets it draws on
};
