// The main window's device commands and the small operations they share.
//
// They run on the worker (the start-up's port selection on the window's
// thread) and work on the command's copies, work_ and workDevice_. Every
// step that changes what the window shows or keeps is handed to the window's
// thread in order; message boxes and the Save dialog wait for their answer.
#include <cstring>

#include "capture/bitmap_file.h"
#include "link/device_link.h"
#include "platform/stop_request.h"
#include "session/device_session.h"
#include "window/main_dialog.h"
#include "window/resource_ids.h"

// --- Shared by the device commands ---------------------------------------------

// A command stopped by the closing window says nothing about why its
// operations went unanswered.
void MainDialog::tell(DeviceMessage message) {
    if (!stopRequested())
        ShowMessage(deviceMessageText(message), deviceMessageStyle(message));
}

void MainDialog::SelectCommPort(uint8_t port) {
    choosePort(port);
    link_.openPort(port);
}

// The port kept and shown: its radio button, or the invalid-port message
// for a number that names none.
void MainDialog::choosePort(uint8_t port) {
    work_.commPort = port;
    if (port == 1 || port == 2) {
        onWindow([this, port] {
            settings_.commPort = port;
            showCommPort();
        });
    } else {
        onWindow([this, port] { settings_.commPort = port; });
        tell(DeviceMessage::InvalidPort);
    }
}

void MainDialog::ClearDeviceInfo() {
    workDevice_ = DeviceInfo{};
    std::strncpy(workDevice_.name, kNotConnected, sizeof workDevice_.name - 1);
    showDevice(kNotConnected);
}

// The device texts show workDevice_'s name and `version`; the window keeps
// that description.
void MainDialog::showDevice(const std::string& version) {
    onWindow([this, device = workDevice_, version] {
        deviceInfo_ = device;
        view_.setControlText(res::IDC_DEVICE_TYPE, device.name);
        view_.setControlText(res::IDC_SOFTWARE_VERSION, version);
    });
}

void MainDialog::EnableCommands(bool enable) {
    onWindow([this, enable] {
        for (int id : res::kCommandControls) view_.enableControl(id, enable);
        if (enable)
            view_.focusControl(res::IDC_DOWNLOAD);
    });
}

void MainDialog::SetBusyLayout(bool busy) {
    onWindow([this, busy] {
        constexpr int kButtons[] = {res::IDC_DOWNLOAD, res::ID_CANCEL};
        constexpr int kProgress[] = {res::IDC_PROGRESS, res::IDC_PERCENT};
        for (int id : kButtons) view_.enableControl(id, !busy);
        for (int id : kProgress) view_.enableControl(id, busy);
        for (int id : kButtons) view_.showControl(id, !busy);
        for (int id : kProgress) view_.showControl(id, busy);
    });
}

// --- Device commands -------------------------------------------------------------

void MainDialog::SearchAtStartup() {
    link_.openPort(work_.commPort);
    if (sessionFindAtStartup(work_.baudRate, work_.autoBaudRate))
        OnQueryDevice();
    EnableCommands(true);
    SetBusyLayout(false);
}

void MainDialog::OnDownload() {
    EnableCommands(false);
    const ScreenCapture capture =
        sessionCaptureScreen(workDevice_, work_.baudRate, work_.autoBaudRate, [this] {
            SetBusyLayout(true);
            progressBegin(&progress_, &progress_);
        });
    onWindow([this, rate = work_.autoBaudRate] { settings_.autoBaudRate = rate; });
    if (!capture.linkAnswered) {
        ClearDeviceInfo();
        tell(DeviceMessage::NoResponse);
        EnableCommands(true);
        return;
    }
    // A download the closing window stopped keeps nothing, however far it got.
    if (!capture.pixels.empty() && !stopRequested())
        saveCapture(capture);
    if (capture.failure) {
        if (*capture.failure == DeviceMessage::NoResponse)
            ClearDeviceInfo();
        tell(*capture.failure);
    }
    progressEnd();
    SetBusyLayout(false);
    EnableCommands(true);
}

void MainDialog::saveCapture(const ScreenCapture& capture) {
    std::string directory(work_.outputPathText());
    const uint8_t screenType = workDevice_.screenType;
    if (work_.autoSave != 0) {
        bitmapSaveAuto(capture.info, capture.pixels, screenType, directory, workDevice_);
    } else {
        // Auto Name proposes a generated name; otherwise the name starts empty.
        bitmapSaveAs(capture.info, capture.pixels, screenType, directory,
                     work_.autoName != 0 ? &workDevice_ : nullptr);
    }
    work_.setOutputPath(directory);  // a trailing separator is gone from it now
    onWindow([this, directory] { settings_.setOutputPath(directory); });
}

void MainDialog::OnQueryDevice() {
    EnableCommands(false);
    if (!deviceCheckLink()) {
        ClearDeviceInfo();
        tell(DeviceMessage::NoResponse);
        EnableCommands(true);
        return;
    }
    std::string version;
    if (!sessionIdentify(workDevice_, version)) {
        ClearDeviceInfo();
        tell(DeviceMessage::NoResponse);
    }
    showDevice(version);
    EnableCommands(true);
}

void MainDialog::OnAutoDetect() {
    EnableCommands(false);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1)
            SelectCommPort(LinkSession::otherPort(work_.commPort));
        if (sessionCheckOrProbe()) {
            OnQueryDevice();
            EnableCommands(true);
            return;
        }
    }
    ClearDeviceInfo();
    tell(DeviceMessage::NotFound);
    EnableCommands(true);  // the other port stays selected
}

void MainDialog::OnComm1() {
    OnCommPort(1);
}

void MainDialog::OnComm2() {
    OnCommPort(2);
}

void MainDialog::OnCommPort(uint8_t port) {
    EnableCommands(false);
    SelectCommPort(port);
    if (sessionCheckOrProbe()) {
        OnQueryDevice();
    } else {
        ClearDeviceInfo();
        tell(DeviceMessage::NotFound);
    }
    EnableCommands(true);
}
