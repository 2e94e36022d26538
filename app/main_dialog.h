// The main window: one fixed-size dialog with the device commands, the port
// choice, the device description and the menus.
//
// Every button and menu item reaches its operation through one command
// table (OnCommand), keyed by the resource and command IDs of resource_ids.h.
// The settings are read once when the dialog is built and written once when
// it is destroyed, however it was closed.
//
// The device commands (Download, Query Device, Auto Detect, the port buttons
// and the search at start-up) run on one worker thread, so the window stays
// painted and answers while they wait for the receiver. Their steps that
// touch the window are handed to the window's thread one by one, in order.
// While one runs, the command controls and the menu items that start a
// command or change a setting it uses are disabled; Help stays usable.
// Closing the window during a command raises the core's stop request: the
// command ends at its next pass, with no message and no file, and then the
// window closes and the settings are saved.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>

#include "app/command_worker.h"
#include "app/window_progress.h"
#include "catalogue/product_catalogue.h"
#include "session/device_messages.h"
#include "settings/app_settings.h"

class QMenuBar;
struct ScreenCapture;

class MainDialog : public QDialog {
    Q_OBJECT

  public:
    // The start-up: the window's controls, the serial layer, the settings and
    // the stored port; the search for the receiver then runs on the worker.
    // A `simulatedPort` (a virtual receiver's device path) stands for port 1
    // in this run, which starts on port 1; the stored paths are kept.
    explicit MainDialog(std::string settingsPath = settingsStorePath(),
                        std::string simulatedPort = {}, QWidget* parent = nullptr);
    ~MainDialog() override;  // the tear-down: rate remembered, port closed, settings saved

    // Runs the operation of command `id`; false when no row of the table
    // names it (the dialog's default handling: nothing).
    bool OnCommand(int id);

    const AppSettings& settings() const { return settings_; }
    const DeviceInfo& deviceInfo() const { return deviceInfo_; }
    QMenuBar* menuBar() const { return menuBar_; }
    // Runs a device command handler on the worker; nothing while a command
    // runs or the window is closing.
    void startCommand(void (MainDialog::*handler)());
    // True while a device command (or the search at start-up) runs.
    bool commandRunning() const { return worker_.busy(); }

    // Settings and their menus.
    void LoadSettings();
    void SaveSettings();
    void UpdateAutoChecks();
    void UpdateBaudChecks();

    // Shared by the device commands. Callable from the worker: whatever
    // touches the window runs on the window's thread.
    void SelectCommPort(uint8_t port);
    void ClearDeviceInfo();
    void EnableCommands(bool enable);
    void SetBusyLayout(bool busy);
    int ShowMessage(const std::string& text, uint32_t style);

    // Command handlers. The device commands (OnDownload to OnComm2) run on
    // the worker; OnCommand starts them there.
    void OnDownload();
    void OnQueryDevice();
    void OnAutoDetect();
    void OnComm1();
    void OnComm2();
    void OnCancel();
    void OnAutoName();
    void OnAutoSave();
    void OnSetBaudRate(uint8_t baudRate);
    void OnSetOutputDirectory();
    void OnSetCommPorts();
    void OnSupportedProducts();
    void OnAbout();

  public slots:
    // Escape and the window's close come here; they end the dialog as Exit does.
    void reject() override;

  private:
    void buildWindow();
    void connectControls();
    void usePortDevices();
    void commandEnded();
    void enableCommandMenus(bool enable);
    void SearchAtStartup();
    void OnCommPort(uint8_t port);
    void tell(DeviceMessage message);
    void showDevice(const std::string& name, const std::string& version);
    void saveCapture(const ScreenCapture& capture);
    // Asks the running command to stop, with no message and no file, and
    // shuts whatever dialog it has open; the window is closing.
    void stopCommand();

    std::string settingsPath_;
    std::string simulatedPort_;
    AppSettings settings_;
    DeviceInfo deviceInfo_{};
    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
    std::unique_ptr<WindowProgress> progress_;
    CommandWorker worker_;
    bool closing_ = false;  // closed during a command: the window goes when it ends
};
