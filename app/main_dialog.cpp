#include "app/main_dialog.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>
#include <utility>

#include "app/about_dialog.h"
#include "app/comm_ports_dialog.h"
#include "app/dialog_template.h"
#include "app/main_menu.h"
#include "app/output_directory_dialog.h"
#include "app/resource_ids.h"
#include "app/supported_products_dialog.h"
#include "platform/platform.h"
#include "serial/serial_port.h"

namespace {

const char* const kCaption = "GPS Lumagrab";
const char* const kNotConnected = "<Not Connected>";
const char* const kInvalidPort =
    "ERROR:  Invalid Comm Port.  Please check the Comm Port setting.      ";
const char* const kDeviceCommandUnavailable =
    "This build of GPS Lumagrab cannot talk to a GPS yet: the device commands are not "
    "connected.";

constexpr ControlSpec kMainControls[] = {
    {res::IDC_DOWNLOAD, ControlKind::DefPushButton, "&Download", 32, 74, 66, 14},
    {res::IDCANCEL, ControlKind::PushButton, "E&xit", 135, 74, 66, 14},
    {res::IDC_DEVICE_GROUP, ControlKind::GroupBox, "Device Info:", 7, 7, 139, 60},
    {res::IDC_DEVICE_TYPE_LABEL, ControlKind::RightText, "Device Type:", 9, 19, 56, 13},
    {res::IDC_DEVICE_TYPE, ControlKind::Text, "<UNKNOWN>", 67, 19, 77, 13},
    {res::IDC_SOFTWARE_VERSION_LABEL, ControlKind::RightText, "Software Version:", 9, 33, 56, 13},
    {res::IDC_SOFTWARE_VERSION, ControlKind::Text, "<UNKNOWN>", 67, 33, 77, 13},
    {res::IDC_QUERY_DEVICE, ControlKind::PushButton, "&Query Device", 54, 47, 50, 14},
    {res::IDC_COMM_GROUP, ControlKind::GroupBox, "Comm Port:", 148, 7, 77, 60},
    {res::IDC_COM1, ControlKind::AutoRadio, "COM&1", 160, 18, 52, 14},
    {res::IDC_COM2, ControlKind::AutoRadio, "COM&2", 160, 32, 52, 14},
    {res::IDC_AUTO_DETECT, ControlKind::PushButton, "&Auto Detect", 161, 47, 50, 14},
    {res::IDC_PROGRESS, ControlKind::ProgressBar, "", 7, 76, 194, 11},
    {res::IDC_PERCENT, ControlKind::RightText, "Idle...", 205, 76, 20, 11},
};

constexpr DialogTemplate kMainTemplate = {kCaption, 232, 95, DialogFont::Standard, kMainControls};

// Every command of the main window and the operation it runs. An ID that is
// not here gets no handling.
struct CommandRoute {
    int id;
    void (*run)(MainDialog& dialog);
};

const CommandRoute kCommandTable[] = {
    {res::IDC_DOWNLOAD, [](MainDialog& d) { d.OnDownload(); }},
    {res::ID_FILE_DOWNLOAD, [](MainDialog& d) { d.OnDownload(); }},
    {res::IDC_QUERY_DEVICE, [](MainDialog& d) { d.OnQueryDevice(); }},
    {res::ID_FILE_QUERY_DEVICE, [](MainDialog& d) { d.OnQueryDevice(); }},
    {res::IDC_AUTO_DETECT, [](MainDialog& d) { d.OnAutoDetect(); }},
    {res::ID_FILE_AUTO_DETECT, [](MainDialog& d) { d.OnAutoDetect(); }},
    {res::IDC_COM1, [](MainDialog& d) { d.OnComm1(); }},
    {res::IDC_COM2, [](MainDialog& d) { d.OnComm2(); }},
    {res::IDCANCEL, [](MainDialog& d) { d.OnCancel(); }},
    {res::ID_FILE_EXIT, [](MainDialog& d) { d.OnCancel(); }},
    {res::ID_SETTINGS_AUTO_NAME, [](MainDialog& d) { d.OnAutoName(); }},
    {res::ID_SETTINGS_AUTO_SAVE, [](MainDialog& d) { d.OnAutoSave(); }},
    {res::ID_BAUD_AUTO, [](MainDialog& d) { d.OnSetBaudRate(1); }},
    {res::ID_BAUD_9600, [](MainDialog& d) { d.OnSetBaudRate(2); }},
    {res::ID_BAUD_19200, [](MainDialog& d) { d.OnSetBaudRate(3); }},
    {res::ID_BAUD_38400, [](MainDialog& d) { d.OnSetBaudRate(4); }},
    {res::ID_BAUD_57600, [](MainDialog& d) { d.OnSetBaudRate(5); }},
    {res::ID_BAUD_115200, [](MainDialog& d) { d.OnSetBaudRate(6); }},
    {res::ID_SETTINGS_OUTPUT_DIRECTORY, [](MainDialog& d) { d.OnSetOutputDirectory(); }},
    {res::ID_SETTINGS_COMM_PORTS, [](MainDialog& d) { d.OnSetCommPorts(); }},
    {res::ID_HELP_SUPPORTED_PRODUCTS, [](MainDialog& d) { d.OnSupportedProducts(); }},
    {res::ID_APP_ABOUT, [](MainDialog& d) { d.OnAbout(); }},
    {res::ID_SYSTEM_ABOUT, [](MainDialog& d) { d.OnAbout(); }},
};

// The rate items of the Set Baudrate menu and the baudRate value of each.
constexpr std::pair<int, uint8_t> kBaudItems[] = {
    {res::ID_BAUD_AUTO, 1},  {res::ID_BAUD_9600, 2},  {res::ID_BAUD_19200, 3},
    {res::ID_BAUD_38400, 4}, {res::ID_BAUD_57600, 5}, {res::ID_BAUD_115200, 6},
};

// The six controls that every device command disables while it runs.
constexpr int kCommandControls[] = {res::IDC_DOWNLOAD,    res::IDCANCEL, res::IDC_QUERY_DEVICE,
                                    res::IDC_AUTO_DETECT, res::IDC_COM1, res::IDC_COM2};

}  // namespace

MainDialog::MainDialog(std::string settingsPath, QWidget* parent)
    : QDialog(parent), settingsPath_(std::move(settingsPath)) {
    buildWindow();
    LoadSettings();
    SelectCommPort(settings_.commPort);
    UpdateAutoChecks();
    UpdateBaudChecks();
    ClearDeviceInfo();
    EnableCommands(true);
    SetBusyLayout(false);
}

MainDialog::~MainDialog() {
    ClearDeviceInfo();
    SaveSettings();
}

void MainDialog::buildWindow() {
    menuBar_ = buildMainMenu(this, [this](int id) { OnCommand(id); });
    client_ = buildDialog(this, kMainTemplate, menuBar_);
    setWindowIcon(applicationIcon());
    connectControls();
}

void MainDialog::connectControls() {
    for (int id : kCommandControls) {
        if (id == res::IDCANCEL)
            continue;  // Exit ends the dialog through reject()
        auto* button = findControl<QAbstractButton>(client_, id);
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    }
}

bool MainDialog::OnCommand(int id) {
    for (const CommandRoute& route : kCommandTable) {
        if (route.id == id) {
            route.run(*this);
            return true;
        }
    }
    return false;
}

void MainDialog::reject() {
    OnCommand(res::IDCANCEL);
}

void MainDialog::OnCancel() {
    QDialog::reject();
}

// --- Settings ----------------------------------------------------------------

void MainDialog::LoadSettings() {
    // A store that cannot be written leaves the defaults in memory; the
    // program runs on, and the settings are simply not kept.
    settingsLoad(settings_, settingsPath_);
    usePortDevices();
}

void MainDialog::SaveSettings() {
    settingsSave(settings_, settingsPath_);
}

void MainDialog::UpdateAutoChecks() {
    if (settings_.autoSave != 0)
        settings_.autoName = 1;
    QMenu* settingsMenu = menuBarSubMenu(menuBar_, res::kSettingsMenuPosition);
    checkMenuItem(settingsMenu, res::ID_SETTINGS_AUTO_NAME, settings_.autoName != 0);
    checkMenuItem(settingsMenu, res::ID_SETTINGS_AUTO_SAVE, settings_.autoSave != 0);
}

void MainDialog::UpdateBaudChecks() {
    QMenu* settingsMenu = menuBarSubMenu(menuBar_, res::kSettingsMenuPosition);
    QMenu* baudMenu = settingsMenu ? subMenuAt(settingsMenu, res::kBaudRateMenuPosition) : nullptr;
    for (const auto& [id, value] : kBaudItems) {
        checkMenuItem(baudMenu, id, settings_.baudRate == value);
    }
}

void MainDialog::OnAutoName() {
    settings_.autoName = settings_.autoName == 0 ? 1 : 0;
    UpdateAutoChecks();
}

void MainDialog::OnAutoSave() {
    settings_.autoSave = settings_.autoSave == 0 ? 1 : 0;
    UpdateAutoChecks();
}

void MainDialog::OnSetBaudRate(uint8_t baudRate) {
    // Only the choice changes; the link follows at the next download or start.
    settings_.baudRate = baudRate;
    UpdateBaudChecks();
}

void MainDialog::OnSetOutputDirectory() {
    OutputDirectoryDialog dialog(settings_.outputPathText(), this);
    dialog.exec();
    settings_.setOutputPath(dialog.path());
}

void MainDialog::OnSetCommPorts() {
    CommPortsDialog dialog(settings_.com1Device, settings_.com2Device, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings_.com1Device = dialog.com1Device();
    settings_.com2Device = dialog.com2Device();
    usePortDevices();
}

void MainDialog::usePortDevices() {
    // The serial layer opens these paths for port 1 and 2; the buttons show them.
    for (uint8_t port : {1, 2}) {
        const std::string& path = settings_.devicePath(port);
        serialSetPortDevice(port, path);
        findControl<QWidget>(client_, port == 1 ? res::IDC_COM1 : res::IDC_COM2)
            ->setToolTip(QString::fromStdString(path));
    }
}

// --- Help --------------------------------------------------------------------

void MainDialog::OnSupportedProducts() {
    SupportedProductsDialog(this).exec();
}

void MainDialog::OnAbout() {
    AboutDialog(this).exec();
}

// --- Shared by the device commands --------------------------------------------

int MainDialog::ShowMessage(const std::string& text, uint32_t style) {
    return platformMessageBox(text, kCaption, style);
}

void MainDialog::SelectCommPort(uint8_t port) {
    settings_.commPort = port;
    if (port == 1 || port == 2) {
        // An automatic radio button clears its partner itself.
        findControl<QRadioButton>(client_, port == 1 ? res::IDC_COM1 : res::IDC_COM2)
            ->setChecked(true);
    } else {
        ShowMessage(kInvalidPort, msgbox::Ok | msgbox::IconStop);
    }
    // Opening the chosen port belongs with the device commands.
}

void MainDialog::ClearDeviceInfo() {
    deviceInfo_ = DeviceInfo{};
    std::strncpy(deviceInfo_.name, kNotConnected, sizeof deviceInfo_.name - 1);
    findControl<QLabel>(client_, res::IDC_DEVICE_TYPE)->setText(kNotConnected);
    findControl<QLabel>(client_, res::IDC_SOFTWARE_VERSION)->setText(kNotConnected);
}

void MainDialog::EnableCommands(bool enable) {
    for (int id : kCommandControls) findControl<QWidget>(client_, id)->setEnabled(enable);
    if (enable)
        findControl<QWidget>(client_, res::IDC_DOWNLOAD)->setFocus();
}

void MainDialog::SetBusyLayout(bool busy) {
    QWidget* const buttons[] = {findControl<QWidget>(client_, res::IDC_DOWNLOAD),
                                findControl<QWidget>(client_, res::IDCANCEL)};
    QWidget* const progress[] = {findControl<QWidget>(client_, res::IDC_PROGRESS),
                                 findControl<QWidget>(client_, res::IDC_PERCENT)};
    for (QWidget* w : buttons) w->setEnabled(!busy);
    for (QWidget* w : progress) w->setEnabled(busy);
    for (QWidget* w : buttons) w->setVisible(!busy);
    for (QWidget* w : progress) w->setVisible(busy);
}

// --- Device commands -----------------------------------------------------------

void MainDialog::showDeviceCommandUnavailable() {
    ShowMessage(kDeviceCommandUnavailable, msgbox::Ok | msgbox::IconInformation);
}

void MainDialog::OnDownload() {
    showDeviceCommandUnavailable();
}

void MainDialog::OnQueryDevice() {
    showDeviceCommandUnavailable();
}

void MainDialog::OnAutoDetect() {
    showDeviceCommandUnavailable();
}

void MainDialog::OnComm1() {
    SelectCommPort(1);
    showDeviceCommandUnavailable();
}

void MainDialog::OnComm2() {
    SelectCommPort(2);
    showDeviceCommandUnavailable();
}
