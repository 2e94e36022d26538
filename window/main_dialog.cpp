// The main window's start-up, command table, settings, Help and tear-down:
// everything that runs on the window's thread. The device commands, which
// run on the worker, are in device_commands.cpp.
#include "window/main_dialog.h"

#include <utility>

#include "catalogue/product_list.h"
#include "link/packet_link.h"
#include "platform/stop_request.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"
#include "window/dialog_templates.h"
#include "window/resource_ids.h"
#include "window/settings_forms.h"
#include "window/version_history.h"

namespace {

// Every command of the main window and the operation it runs. An ID that is
// not here gets no handling. A device command runs on the worker; it and the
// commands that change a setting it uses are refused while one runs (their
// controls and menu items are disabled then anyway).
struct CommandRoute {
    int id;
    void (*run)(MainDialog& dialog);
    bool onlyWhileIdle = true;
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

// The system menu's About command; the low four bits are the system's own.
constexpr int kSystemAbout = 16;

}  // namespace

// The table needs the private handlers: it is built by a friend of sorts, a
// static member-free function with access through this accessor struct.
struct MainDialogRoutes {
    template <void (MainDialog::*handler)()>
    static void onWorker(MainDialog& d) {
        d.startCommand(handler);
    }
    template <uint8_t value>
    static void setBaud(MainDialog& d) {
        d.OnSetBaudRate(value);
    }
    template <void (MainDialog::*handler)()>
    static void now(MainDialog& d) {
        (d.*handler)();
    }

    static const CommandRoute kTable[];
};

const CommandRoute MainDialogRoutes::kTable[] = {
    {res::IDC_DOWNLOAD, onWorker<&MainDialog::OnDownload>},
    {res::ID_FILE_DOWNLOAD, onWorker<&MainDialog::OnDownload>},
    {res::IDC_QUERY_DEVICE, onWorker<&MainDialog::OnQueryDevice>},
    {res::ID_FILE_QUERY_DEVICE, onWorker<&MainDialog::OnQueryDevice>},
    {res::IDC_AUTO_DETECT, onWorker<&MainDialog::OnAutoDetect>},
    {res::ID_FILE_AUTO_DETECT, onWorker<&MainDialog::OnAutoDetect>},
    {res::IDC_COM1, onWorker<&MainDialog::OnComm1>},
    {res::IDC_COM2, onWorker<&MainDialog::OnComm2>},
    {res::ID_CANCEL, now<&MainDialog::OnCancel>, false},
    {res::ID_FILE_EXIT, now<&MainDialog::OnCancel>, false},
    {res::ID_SETTINGS_AUTO_NAME, now<&MainDialog::OnAutoName>},
    {res::ID_SETTINGS_AUTO_SAVE, now<&MainDialog::OnAutoSave>},
    {res::ID_BAUD_AUTO, setBaud<1>},
    {res::ID_BAUD_9600, setBaud<2>},
    {res::ID_BAUD_19200, setBaud<3>},
    {res::ID_BAUD_38400, setBaud<4>},
    {res::ID_BAUD_57600, setBaud<5>},
    {res::ID_BAUD_115200, setBaud<6>},
    {res::ID_SETTINGS_OUTPUT_DIRECTORY, now<&MainDialog::OnSetOutputDirectory>},
    {res::ID_SETTINGS_COMM_PORTS, now<&MainDialog::OnSetCommPorts>},
    {res::ID_HELP_SUPPORTED_PRODUCTS, now<&MainDialog::OnSupportedProducts>, false},
    {res::ID_APP_ABOUT, now<&MainDialog::OnAbout>, false},
};

MainDialog::MainDialog(MainDialogView& view, Options options)
    : view_(view),
      windowThread_(std::this_thread::get_id()),
      settingsPath_(std::move(options.settingsPath)),
      link_(options.simulation) {}

MainDialog::~MainDialog() {
    OnDestroy();
}

// --- Start-up and tear-down ----------------------------------------------------

bool MainDialog::OnInitDialog() {
    if (!link_.begin(startError_))
        return false;
    initialised_ = true;
    installPlatformHooks();
    LoadSettings();
    if (link_.simulated()) {
        storedSettings_ = settings_;
        settings_.commPort = 1;
    }
    link_.setPortDevices(settings_.com1Device, settings_.com2Device);
    work_ = settings_;
    // The port opens on the worker, as the search's first step: opening may
    // take a while, and the window shows at once.
    choosePort(settings_.commPort);
    UpdateAutoChecks();
    UpdateBaudChecks();
    ClearDeviceInfo();
    // The window shows at once; the search for the receiver runs on the
    // worker and turns the commands on when it ends.
    SetBusyLayout(false);
    EnableCommands(false);
    startCommand(&MainDialog::SearchAtStartup);
    return true;
}

void MainDialog::OnDestroy() {
    if (!initialised_ || destroyed_)
        return;
    destroyed_ = true;
    if (commandRunning_) {
        closing_ = true;
        stopRequest();
        std::lock_guard lock(answerMutex_);
        answersCancelled_ = true;
    }
    answered_.notify_all();
    worker_.finish();  // a stopped command ends at its next pass
    {
        std::lock_guard lock(postedMutex_);
        posted_.clear();  // steps of a command that was stopped: nobody sees them
    }
    ClearDeviceInfo();
    if (const std::optional<uint8_t> rate = link_.end())
        settings_.autoBaudRate = *rate;
    if (storedSettings_) {
        settings_.commPort = storedSettings_->commPort;
        settings_.autoBaudRate = storedSettings_->autoBaudRate;
    }
    SaveSettings();
    platformSetMessageBoxHook(nullptr);
    platformSetSaveDialogHook(nullptr);
    stopClear();  // the command it asked to stop has ended
}

// Message boxes and the Save dialog that the core's file writer opens go to
// the window's thread like the window's own.
void MainDialog::installPlatformHooks() {
    platformSetMessageBoxHook(
        [this](const std::string& text, const std::string& caption, uint32_t style) {
            return askWindow<int>(
                [this, text, caption, style] { return view_.showMessage(text, caption, style); },
                msgbox::IdCancel);
        });
    platformSetSaveDialogHook([this](const SaveDialogRequest& request, std::string& chosen) {
        const std::optional<std::string> answer = askWindow<std::optional<std::string>>(
            [this, request]() -> std::optional<std::string> {
                std::string path;
                return view_.askSaveFile(request, path) ? std::optional(path) : std::nullopt;
            },
            std::nullopt);
        if (answer)
            chosen = *answer;
        return answer.has_value();
    });
}

// --- Commands --------------------------------------------------------------------

bool MainDialog::OnCommand(int id) {
    for (const CommandRoute& route : MainDialogRoutes::kTable) {
        if (route.id != id)
            continue;
        if (route.onlyWhileIdle && (commandRunning_ || closing_)) {
            showCommPort();  // a port button may have checked itself
            return true;
        }
        route.run(*this);
        return true;
    }
    return false;
}

bool MainDialog::OnSysCommand(int id) {
    if ((id & 0xFFF0) != kSystemAbout)
        return false;
    OnAbout();
    return true;
}

void MainDialog::OnCancel() {
    if (!commandRunning_) {
        view_.closeDialogs();
        view_.closeWindow();
        return;
    }
    if (closing_)
        return;
    // The window goes once the command has ended (commandEnded).
    closing_ = true;
    stopRequest();  // before the dialogs go, so that the command opens no other
    {
        std::lock_guard lock(answerMutex_);
        answersCancelled_ = true;
    }
    answered_.notify_all();
    view_.closeDialogs();
}

void MainDialog::startCommand(void (MainDialog::*handler)()) {
    if (closing_ || commandRunning_)
        return;  // a second command never runs under the first
    commandRunning_ = true;
    enableCommandMenus(false);
    stopClear();
    work_ = settings_;
    workDevice_ = deviceInfo_;
    worker_.post([this, handler] {
        (this->*handler)();
        onWindow([this] { commandEnded(); });
    });
}

void MainDialog::commandEnded() {
    commandRunning_ = false;
    enableCommandMenus(true);
    if (closing_) {
        view_.closeDialogs();
        view_.closeWindow();
    }
}

void MainDialog::enableCommandMenus(bool enable) {
    for (int id : kCommandMenuItems) view_.enableMenuItem(id, enable);
    view_.enableMenu(kSettingsMenuPosition, enable);
}

void MainDialog::showCommPort() {
    view_.checkControl(res::IDC_COM1, settings_.commPort == 1);
    view_.checkControl(res::IDC_COM2, settings_.commPort == 2);
}

void MainDialog::RunPosted() {
    // Only as many steps as were waiting: a worker that hands steps over
    // faster than the window runs them must not keep the window's thread
    // from its other messages. Those handed over meanwhile come with a wake
    // of their own.
    size_t waiting = 0;
    {
        std::lock_guard lock(postedMutex_);
        waiting = posted_.size();
    }
    for (; waiting > 0; --waiting) {
        std::function<void()> step;
        {
            std::lock_guard lock(postedMutex_);
            if (posted_.empty())
                return;
            step = std::move(posted_.front());
            posted_.pop_front();
        }
        step();
    }
}

void MainDialog::onWindow(std::function<void()> step) {
    if (std::this_thread::get_id() == windowThread_) {
        step();
        return;
    }
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(step));
    }
    view_.wake();
}

template <typename Answer>
Answer MainDialog::askWindow(std::function<Answer()> question, Answer whenClosing) {
    if (std::this_thread::get_id() == windowThread_)
        return closing_ ? whenClosing : question();
    struct Slot {
        bool done = false;
        Answer answer{};
    };
    auto slot = std::make_shared<Slot>();
    onWindow([this, slot, question = std::move(question), whenClosing] {
        Answer answer = closing_ ? whenClosing : question();
        {
            std::lock_guard lock(answerMutex_);
            slot->answer = std::move(answer);
            slot->done = true;
        }
        answered_.notify_all();
    });
    std::unique_lock lock(answerMutex_);
    answered_.wait(lock, [&] { return slot->done || answersCancelled_; });
    return slot->done ? slot->answer : whenClosing;
}

int MainDialog::ShowMessage(const std::string& text, uint32_t style) {
    return askWindow<int>(
        [this, text, style] { return view_.showMessage(text, kMessageCaption, style); },
        msgbox::IdCancel);
}

// --- Settings ----------------------------------------------------------------------

void MainDialog::LoadSettings() {
    // A store that cannot be written leaves the defaults in memory; the
    // program runs on, and the settings are simply not kept.
    settingsLoad(settings_, settingsPath_);
    const std::string com1 = link_.simulated() ? link_.devicePath(1) : settings_.com1Device;
    view_.setControlTip(res::IDC_COM1, com1);
    view_.setControlTip(res::IDC_COM2, settings_.com2Device);
}

void MainDialog::SaveSettings() {
    settingsSave(settings_, settingsPath_);
}

void MainDialog::UpdateAutoChecks() {
    if (settings_.autoSave != 0)
        settings_.autoName = 1;
    view_.checkMenuItem(res::ID_SETTINGS_AUTO_NAME, settings_.autoName != 0);
    view_.checkMenuItem(res::ID_SETTINGS_AUTO_SAVE, settings_.autoSave != 0);
}

void MainDialog::UpdateBaudChecks() {
    for (const auto& [id, value] : kBaudItems) view_.checkMenuItem(id, settings_.baudRate == value);
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
    OutputDirectoryForm form(settings_.outputPathText());
    view_.runOutputDirectoryDialog(form);
    settings_.setOutputPath(form.path());
}

void MainDialog::OnSetCommPorts() {
    CommPortsForm form(settings_.com1Device, settings_.com2Device, serialListDevices());
    if (!view_.runCommPortsDialog(form))
        return;
    settings_.com1Device = form.com1Device();
    settings_.com2Device = form.com2Device();
    usePortDevices();
}

void MainDialog::usePortDevices() {
    if (!link_.simulated())
        view_.setControlTip(res::IDC_COM1, settings_.com1Device);
    view_.setControlTip(res::IDC_COM2, settings_.com2Device);
    // The serial layer is the worker's now.
    worker_.post([this, com1 = settings_.com1Device, com2 = settings_.com2Device] {
        link_.setPortDevices(com1, com2);
    });
}

// --- Help ------------------------------------------------------------------------------

void MainDialog::OnSupportedProducts() {
    if (closing_)
        return;  // the program is ending: no dialog may hold it up
    // The error flags belong to the serial layer and the receive queue, which
    // the worker owns: cleared there, after any command that runs now (whose
    // own errors it has already taken into account).
    worker_.post([] {
        serialSetRxOverrun(0);
        serialSetTxFull(0);
        serialSetOtherError(0);
        linkSetOverflow(0);
    });
    view_.showSupportedProducts(supportedProductLines());
}

void MainDialog::OnAbout() {
    if (!closing_)
        view_.showAbout(kVersionHistory);
}

// --- Progress, posted to the window ------------------------------------------------

void MainDialog::Progress::setRange(int32_t lower, int32_t upper) {
    change([&](Changes& c) { c.range = {lower, upper}; });
}

void MainDialog::Progress::setPosition(uint32_t position) {
    const int32_t value = static_cast<int32_t>(std::min<uint32_t>(position, INT32_MAX));
    change([&](Changes& c) { c.position = value; });
}

void MainDialog::Progress::setText(const std::string& text) {
    change([&](Changes& c) { c.text = text; });
}

void MainDialog::Progress::change(const std::function<void(Changes&)>& record) {
    bool handOver = false;
    {
        std::lock_guard lock(mutex_);
        record(changes_);
        handOver = !stepWaiting_;
        stepWaiting_ = true;
    }
    if (handOver)
        dialog_.onWindow([this] { show(); });
}

void MainDialog::Progress::show() {
    Changes shown;
    {
        std::lock_guard lock(mutex_);
        shown = std::exchange(changes_, {});
        stepWaiting_ = false;
    }
    if (shown.range)
        dialog_.view_.setProgressRange(shown.range->first, shown.range->second);
    if (shown.position)
        dialog_.view_.setProgressPosition(*shown.position);
    if (shown.text)
        dialog_.view_.setControlText(res::IDC_PERCENT, *shown.text);
}
