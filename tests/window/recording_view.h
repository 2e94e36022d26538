// A MainDialogView that records every call as a line of text, and a main
// window's behaviour driven through it on the test's thread, which plays the
// window's thread: commands run on the real worker, and the steps it hands
// over run when the test lets them (runUntilIdle).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <semaphore>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "support/test_support.h"
#include "window/main_dialog.h"
#include "window/main_dialog_view.h"

// Each call is a line: its name, then the control's id or the menu's
// position, then its value (flags as 0 or 1); the dialogs' lines are
// "message STYLE CAPTION: TEXT", "save TITLE|DIRECTORY|NAME", "products COUNT".
class RecordingView : public MainDialogView {
  public:
    std::vector<std::string> log;  // the window's thread only

    // Scripted answers: the Save dialog's choice (none: cancelled), the forms'
    // end (false: cancelled), and a pause after each "position" line.
    std::optional<std::string> saveAnswer;
    std::function<bool(OutputDirectoryForm&)> outputDirectory;
    std::function<bool(CommPortsForm&)> commPorts;
    std::function<void()> whenProgressMoves;

    // The lines that start with `prefix`, in order.
    std::vector<std::string> lines(const std::string& prefix) const;
    // Whether the progress display was up when log line `index` was written.
    bool busyAt(size_t index) const;
    // Waits until the worker wakes the window or `timeout` passes.
    void waitForWake(std::chrono::milliseconds timeout);

    void setControlText(int id, const std::string& text) override { add("text", id, text); }
    void enableControl(int id, bool enable) override { add("enable", id, flag(enable)); }
    void showControl(int id, bool show) override { add("show", id, flag(show)); }
    void checkControl(int id, bool checked) override { add("check", id, flag(checked)); }
    void focusControl(int id) override { log.push_back("focus " + std::to_string(id)); }
    void setControlTip(int id, const std::string& tip) override { add("tip", id, tip); }
    void setProgressRange(int32_t lower, int32_t upper) override {
        add("range", lower, std::to_string(upper));
    }
    void setProgressPosition(int32_t position) override;
    void enableMenuItem(int id, bool enable) override { add("menu-enable", id, flag(enable)); }
    void enableMenu(int position, bool enable) override { add("menu", position, flag(enable)); }
    void checkMenuItem(int id, bool checked) override { add("menu-check", id, flag(checked)); }
    int showMessage(const std::string& text, const std::string& caption, uint32_t style) override {
        log.push_back("message " + std::to_string(style) + " " + caption + ": " + text);
        return msgbox::IdOk;
    }
    bool askSaveFile(const SaveDialogRequest& request, std::string& chosen) override;
    bool runOutputDirectoryDialog(OutputDirectoryForm& form) override {
        log.push_back("output-directory");
        return outputDirectory && outputDirectory(form);
    }
    bool runCommPortsDialog(CommPortsForm& form) override {
        log.push_back("comm-ports");
        return commPorts && commPorts(form);
    }
    void showAbout(const std::string&) override { log.push_back("about"); }
    void showSupportedProducts(const std::vector<std::string>& lines) override {
        log.push_back("products " + std::to_string(lines.size()));
    }
    void closeDialogs() override { log.push_back("close dialogs"); }
    void closeWindow() override { log.push_back("close window"); }
    void wake() override { wakes_.release(); }

  private:
    static std::string flag(bool on) { return on ? "1" : "0"; }
    void add(const char* what, int id, const std::string& rest) {
        log.push_back(std::string(what) + " " + std::to_string(id) + " " + rest);
    }

    std::counting_semaphore<> wakes_{0};  // one per wake not yet waited for
};

// The main window's behaviour over a recording view, with its settings in a
// store of its own.
class WindowUnderTest {
  public:
    explicit WindowUnderTest(const AppSettings& stored,
                             std::optional<LinkSession::Simulation> simulation = std::nullopt);

    // The start-up; the search at start-up runs until it has ended.
    bool start() { return dialog_->OnInitDialog() && runUntilIdle(); }
    // A command, and the steps it hands to the window until it has ended.
    void command(int id) {
        dialog_->OnCommand(id);
        runUntilIdle();
    }
    // Hands the worker's steps to the window until no command runs; false
    // after `limit`.
    bool runUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(30));
    // The tear-down (the window closed), then the settings as stored.
    AppSettings destroy() {
        dialog_->OnDestroy();
        return settingsRead(storePath_);
    }

    RecordingView view;
    MainDialog& dialog() { return *dialog_; }
    const std::string& storePath() const { return storePath_; }

  private:
    TempDir dir_;
    std::string storePath_;
    std::unique_ptr<MainDialog> dialog_;  // goes first, before its store and view
};
