// The main window's behaviour, with no toolkit: its command table, the
// device commands and the small operations they share, the settings with
// their menus, the start-up and tear-down sequences and the stop on close.
// It draws nothing itself: it tells a MainDialogView what to show, and the
// front end forwards the user's events to it by command ID.
//
// Threads. The front end calls every public member on the window's thread.
// The device commands (Download, Query Device, Auto Detect, the port
// buttons and the search at start-up) run on one worker thread, so that the
// window stays painted while they wait for the receiver. A command works on
// copies of the settings and the device description taken when it starts;
// each step of it that changes what the window shows or keeps is handed to
// the window's thread, in order (RunPosted), and a step that needs an answer
// (a message box, the Save dialog) waits for it. While a command runs, the
// command controls, the File commands and the Settings menu are disabled;
// Help stays usable. Closing the window during a command raises the core's
// stop request: the command ends at its next pass, with no message and no
// file, and then the window closes and the settings are saved.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "capture/progress.h"
#include "catalogue/product_catalogue.h"
#include "session/device_messages.h"
#include "session/link_session.h"
#include "settings/app_settings.h"
#include "window/command_worker.h"
#include "window/main_dialog_events.h"
#include "window/main_dialog_view.h"

struct ScreenCapture;

class MainDialog : public MainDialogEvents {
  public:
    struct Options {
        std::string settingsPath = settingsStorePath();
        // Port 1 is a built-in virtual receiver in this run; the stored port
        // and remembered rate are kept for the next real run.
        std::optional<LinkSession::Simulation> simulation;
    };

    MainDialog(MainDialogView& view, Options options);
    ~MainDialog() override;  // OnDestroy(), if the window was set up and it has not run

    // The start-up sequence, before the window is first shown: the link,
    // the settings, the stored port's button (a bad port number's message
    // comes here, before the window), the menus and the device texts; the
    // port then opens on the worker, where the search for the receiver runs
    // and turns the commands on when it ends. False when a simulated run's virtual receiver cannot
    // start (startError() says why): the window must not run then.
    bool OnInitDialog() override;
    const std::string& startError() const override { return startError_; }

    // The operation of a control or menu item (Escape and the close box are
    // ID_CANCEL); false when no row of the command table names `id`.
    bool OnCommand(int id) override;
    // A command of the system menu: About for 16; false for the others,
    // which get the system's own handling.
    bool OnSysCommand(int id) override;
    // The tear-down sequence, once the window has closed: the rate the link
    // ran at remembered, the port closed, the settings saved.
    void OnDestroy() override;
    // Runs the steps the worker has handed to the window's thread, in order.
    // The front end calls it when the view is woken.
    void RunPosted() override;

    bool commandRunning() const { return commandRunning_; }
    const AppSettings& settings() const { return settings_; }
    const DeviceInfo& deviceInfo() const { return deviceInfo_; }

  private:
    friend struct MainDialogRoutes;  // the command table

    // --- On the window's thread ----------------------------------------------
    void LoadSettings();
    void SaveSettings();
    void UpdateAutoChecks();
    void UpdateBaudChecks();
    void OnCancel();
    void OnAutoName();
    void OnAutoSave();
    void OnSetBaudRate(uint8_t baudRate);
    void OnSetOutputDirectory();
    void OnSetCommPorts();
    void OnSupportedProducts();
    void OnAbout();
    void startCommand(void (MainDialog::*handler)());
    void commandEnded();
    void enableCommandMenus(bool enable);
    void showCommPort();
    void usePortDevices();
    void installPlatformHooks();

    // --- On the worker (the window's thread during start-up) -----------------
    void SelectCommPort(uint8_t port);
    void choosePort(uint8_t port);
    void ClearDeviceInfo();
    void EnableCommands(bool enable);
    void SetBusyLayout(bool busy);
    int ShowMessage(const std::string& text, uint32_t style);
    void SearchAtStartup();
    void OnDownload();
    void OnQueryDevice();
    void OnAutoDetect();
    void OnComm1();
    void OnComm2();
    void OnCommPort(uint8_t port);
    void tell(DeviceMessage message);
    void showDevice(const std::string& version);
    void saveCapture(const ScreenCapture& capture);

    // Runs `step` at once on the window's thread, else hands it over.
    void onWindow(std::function<void()> step);
    // Asks the window's thread and waits for the answer; `whenClosing` once
    // the window is closing.
    template <typename Answer>
    Answer askWindow(std::function<Answer()> question, Answer whenClosing);

    // Fixed from construction.
    MainDialogView& view_;
    const std::thread::id windowThread_;
    const std::string settingsPath_;

    // Owner: the window's thread.
    AppSettings settings_;
    DeviceInfo deviceInfo_{};
    std::optional<AppSettings> storedSettings_;  // a simulated run keeps its port and rate
    bool commandRunning_ = false;
    bool closing_ = false;  // closed during a command: the window goes when it ends
    bool initialised_ = false;
    bool destroyed_ = false;
    std::string startError_;

    // Owner: the running command (the worker), and the window's thread while
    // none runs, when it refreshes them from settings_ and deviceInfo_.
    AppSettings work_;
    DeviceInfo workDevice_{};
    // The serial layer and the link. Owner: the window's thread during
    // start-up and tear-down, the worker in between.
    LinkSession link_;

    // The download's progress, set by the worker and shown by a posted step.
    // Only the latest range, position and text count, so one step shows
    // whatever has changed until it runs: a fast line, which moves the bar
    // at every record, hands the window one step at a time, not one a record.
    class Progress : public ProgressBar, public ProgressText {
      public:
        explicit Progress(MainDialog& dialog) : dialog_(dialog) {}
        void setRange(int32_t lower, int32_t upper) override;
        void setPosition(uint32_t position) override;
        void setText(const std::string& text) override;

      private:
        struct Changes {
            std::optional<std::pair<int32_t, int32_t>> range;
            std::optional<int32_t> position;
            std::optional<std::string> text;
        };
        // Records a change and hands a step over unless one is waiting.
        void change(const std::function<void(Changes&)>& record);
        void show();  // on the window's thread

        MainDialog& dialog_;
        std::mutex mutex_;
        Changes changes_;           // guarded by mutex_
        bool stepWaiting_ = false;  // guarded by mutex_
    } progress_{*this};

    // Steps handed to the window's thread.
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;  // guarded by postedMutex_

    // Answers from the window's thread. Closing cancels every wait.
    std::mutex answerMutex_;
    std::condition_variable answered_;
    bool answersCancelled_ = false;  // guarded by answerMutex_

    CommandWorker worker_;  // last: its thread ends before the members it uses go
};
