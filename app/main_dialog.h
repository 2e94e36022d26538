// The main window: one fixed-size dialog with the device commands, the port
// choice, the device description and the menus.
//
// Every button and menu item reaches its operation through one command
// table (OnCommand), keyed by the resource and command IDs of resource_ids.h.
// The settings are read once when the dialog is built and written once when
// it is destroyed, however it was closed.
//
// The device commands (Download, Query Device, Auto Detect and the port
// buttons' search) are routed but not yet connected to a receiver: they say
// so instead of pretending to work.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "link/product_catalogue.h"
#include "settings/app_settings.h"

class QMenuBar;

class MainDialog : public QDialog {
    Q_OBJECT

  public:
    explicit MainDialog(std::string settingsPath = settingsStorePath(), QWidget* parent = nullptr);
    ~MainDialog() override;  // the tear-down: settings saved

    // Runs the operation of command `id`; false when no row of the table
    // names it (the dialog's default handling: nothing).
    bool OnCommand(int id);

    const AppSettings& settings() const { return settings_; }
    const DeviceInfo& deviceInfo() const { return deviceInfo_; }
    QMenuBar* menuBar() const { return menuBar_; }

    // Settings and their menus.
    void LoadSettings();
    void SaveSettings();
    void UpdateAutoChecks();
    void UpdateBaudChecks();

    // Shared by the device commands.
    void SelectCommPort(uint8_t port);
    void ClearDeviceInfo();
    void EnableCommands(bool enable);
    void SetBusyLayout(bool busy);
    int ShowMessage(const std::string& text, uint32_t style);

    // Command handlers.
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
    void showDeviceCommandUnavailable();

    std::string settingsPath_;
    AppSettings settings_;
    DeviceInfo deviceInfo_{};
    QMenuBar* menuBar_ = nullptr;
    QWidget* client_ = nullptr;
};
