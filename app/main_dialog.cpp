#include "app/main_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

#include "app/about_dialog.h"
#include "app/comm_ports_dialog.h"
#include "app/dialog_template.h"
#include "app/main_menu.h"
#include "app/output_directory_dialog.h"
#include "app/resource_ids.h"
#include "app/supported_products_dialog.h"
#include "link/packet_link.h"
#include "platform/platform.h"
#include "platform/stop_request.h"
#include "serial/serial_port.h"

namespace {

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

constexpr DialogTemplate kMainTemplate = {kMessageCaption, 232, 95, DialogFont::Standard,
                                          kMainControls};

// Every command of the main window and the operation it runs. An ID that is
// not here gets no handling. A device command runs on the worker; it and the
// commands that change a setting it uses are ignored while one runs (their
// controls and menu items are disabled then anyway).
struct CommandRoute {
    int id;
    void (*run)(MainDialog& dialog);
    bool onlyWhileIdle = true;
};

template <void (MainDialog::*handler)()>
void onWorker(MainDialog& dialog) {
    dialog.startCommand(handler);
}

const CommandRoute kCommandTable[] = {
    {res::IDC_DOWNLOAD, onWorker<&MainDialog::OnDownload>},
    {res::ID_FILE_DOWNLOAD, onWorker<&MainDialog::OnDownload>},
    {res::IDC_QUERY_DEVICE, onWorker<&MainDialog::OnQueryDevice>},
    {res::ID_FILE_QUERY_DEVICE, onWorker<&MainDialog::OnQueryDevice>},
    {res::IDC_AUTO_DETECT, onWorker<&MainDialog::OnAutoDetect>},
    {res::ID_FILE_AUTO_DETECT, onWorker<&MainDialog::OnAutoDetect>},
    {res::IDC_COM1, onWorker<&MainDialog::OnComm1>},
    {res::IDC_COM2, onWorker<&MainDialog::OnComm2>},
    {res::IDCANCEL, [](MainDialog& d) { d.OnCancel(); }, false},
    {res::ID_FILE_EXIT, [](MainDialog& d) { d.OnCancel(); }, false},
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
    {res::ID_HELP_SUPPORTED_PRODUCTS, [](MainDialog& d) { d.OnSupportedProducts(); }, false},
    {res::ID_APP_ABOUT, [](MainDialog& d) { d.OnAbout(); }, false},
    {res::ID_SYSTEM_ABOUT, [](MainDialog& d) { d.OnAbout(); }, false},
};

// The rate items of the Set Baudrate menu and the baudRate value of each.
constexpr std::pair<int, uint8_t> kBaudItems[] = {
    {res::ID_BAUD_AUTO, 1},  {res::ID_BAUD_9600, 2},  {res::ID_BAUD_19200, 3},
    {res::ID_BAUD_38400, 4}, {res::ID_BAUD_57600, 5}, {res::ID_BAUD_115200, 6},
};

// The File items that start a device command; the whole Settings menu goes
// with them while one runs.
constexpr int kCommandMenuItems[] = {res::ID_FILE_DOWNLOAD, res::ID_FILE_QUERY_DEVICE,
                                     res::ID_FILE_AUTO_DETECT};

// Every other dialog of the program (a box, the Save dialog, Help's dialogs)
// is closed when the main window is.
void closeOtherDialogs(const QWidget* mainWindow) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(w);
        if (dialog && dialog != mainWindow && dialog->isVisible())
            dialog->reject();
    }
}

}  // namespace

MainDialog::MainDialog(std::string settingsPath, std::string simulatedPort, QWidget* parent)
    : QDialog(parent),
      settingsPath_(std::move(settingsPath)),
      simulatedPort_(std::move(simulatedPort)) {
    buildWindow();
    linkResetReceiver();
    serialInit();
    serialSetByteHandler(linkReceiveByte);
    LoadSettings();
    if (!simulatedPort_.empty())
        settings_.commPort = 1;
    SelectCommPort(settings_.commPort);
    UpdateAutoChecks();
    UpdateBaudChecks();
    ClearDeviceInfo();
    // The window shows at once; the search for the receiver runs on the
    // worker and turns the commands on when it ends.
    SetBusyLayout(false);
    EnableCommands(false);
    startCommand(&MainDialog::SearchAtStartup);
}

MainDialog::~MainDialog() {
    if (worker_.busy()) {
        stopCommand();
        worker_.waitForIdle();
    }
    ClearDeviceInfo();
    settings_.autoBaudRate = serialBaudIndex();  // before the close sets it to 0
    serialClose();
    serialShutdown();
    linkResetReceiver();
    SaveSettings();
    stopClear();  // the command it asked to stop has ended
}

void MainDialog::buildWindow() {
    menuBar_ = buildMainMenu(this, [this](int id) { OnCommand(id); });
    client_ = buildDialog(this, kMainTemplate, menuBar_);
    setWindowIcon(applicationIcon());
    progress_ =
        std::make_unique<WindowProgress>(findControl<QProgressBar>(client_, res::IDC_PROGRESS),
                                         findControl<QLabel>(client_, res::IDC_PERCENT));
    connect(&worker_, &CommandWorker::finished, this, &MainDialog::commandEnded);
    connectControls();
}

void MainDialog::connectControls() {
    for (int id : res::kCommandControls) {
        if (id == res::IDCANCEL)
            continue;  // Exit ends the dialog through reject()
        auto* button = findControl<QAbstractButton>(client_, id);
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    }
}

bool MainDialog::OnCommand(int id) {
    for (const CommandRoute& route : kCommandTable) {
        if (route.id == id) {
            if (!route.onlyWhileIdle || !worker_.busy())
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
    if (worker_.busy()) {
        stopCommand();  // the window goes once the command has ended (commandEnded)
        return;
    }
    closeOtherDialogs(this);
    QDialog::reject();
}

void MainDialog::startCommand(void (MainDialog::*handler)()) {
    if (closing_ || worker_.busy())
        return;  // a second command never runs under the first
    enableCommandMenus(false);
    stopClear();
    worker_.start([this, handler] { (this->*handler)(); });
}

void MainDialog::commandEnded() {
    enableCommandMenus(true);
    if (closing_)
        QDialog::reject();
}

void MainDialog::stopCommand() {
    closing_ = true;
    stopRequest();  // before the dialogs go, so that the command opens no other
    closeOtherDialogs(this);
}

void MainDialog::enableCommandMenus(bool enable) {
    for (int id : kCommandMenuItems) findMenuItem(menuBar_, id)->setEnabled(enable);
    enableMenu(menuBarSubMenu(menuBar_, res::kSettingsMenuPosition), enable);
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
        const std::string& path =
            port == 1 && !simulatedPort_.empty() ? simulatedPort_ : settings_.devicePath(port);
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
