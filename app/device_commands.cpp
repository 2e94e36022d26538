// The main window's device commands and the small operations they share.
//
// The handlers run on the worker (MainDialog::startCommand) and keep the
// order of their steps: every step that touches the window waits until the
// window's thread has done it. Message boxes and the Save dialog open on the
// window's thread through the platform seams.
#include <QLabel>
#include <QRadioButton>
#include <cstring>

#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "app/resource_ids.h"
#include "app/window_thread.h"
#include "capture/bitmap_file.h"
#include "capture/progress.h"
#include "link/device_link.h"
#include "link/packet_link.h"
#include "platform/platform.h"
#include "platform/stop_request.h"
#include "serial/serial_port.h"
#include "session/device_session.h"

// --- Shared by the device commands --------------------------------------------

int MainDialog::ShowMessage(const std::string& text, uint32_t style) {
    return platformMessageBox(text, kMessageCaption, style);
}

// A command stopped by the closing window says nothing about why its
// operations went unanswered.
void MainDialog::tell(DeviceMessage message) {
    if (!stopRequested())
        ShowMessage(deviceMessageText(message), deviceMessageStyle(message));
}

void MainDialog::SelectCommPort(uint8_t port) {
    settings_.commPort = port;
    if (port == 1 || port == 2) {
        runOnWindowThread([this, port] {
            // An automatic radio button clears its partner itself.
            findControl<QRadioButton>(client_, port == 1 ? res::IDC_COM1 : res::IDC_COM2)
                ->setChecked(true);
        });
    } else {
        tell(DeviceMessage::InvalidPort);
    }
    serialClose();
    serialOpen(port);
    linkResetReceiver();
}

void MainDialog::ClearDeviceInfo() {
    runOnWindowThread([this] {
        deviceInfo_ = DeviceInfo{};
        std::strncpy(deviceInfo_.name, kNotConnected, sizeof deviceInfo_.name - 1);
    });
    showDevice(kNotConnected, kNotConnected);
}

void MainDialog::showDevice(const std::string& name, const std::string& version) {
    runOnWindowThread([&] {
        findControl<QLabel>(client_, res::IDC_DEVICE_TYPE)->setText(QString::fromStdString(name));
        findControl<QLabel>(client_, res::IDC_SOFTWARE_VERSION)
            ->setText(QString::fromStdString(version));
    });
}

void MainDialog::EnableCommands(bool enable) {
    runOnWindowThread([this, enable] {
        for (int id : res::kCommandControls) findControl<QWidget>(client_, id)->setEnabled(enable);
        if (enable)
            findControl<QWidget>(client_, res::IDC_DOWNLOAD)->setFocus();
    });
}

void MainDialog::SetBusyLayout(bool busy) {
    runOnWindowThread([this, busy] {
        QWidget* const buttons[] = {findControl<QWidget>(client_, res::IDC_DOWNLOAD),
                                    findControl<QWidget>(client_, res::IDCANCEL)};
        QWidget* const progress[] = {findControl<QWidget>(client_, res::IDC_PROGRESS),
                                     findControl<QWidget>(client_, res::IDC_PERCENT)};
        for (QWidget* w : buttons) w->setEnabled(!busy);
        for (QWidget* w : progress) w->setEnabled(busy);
        for (QWidget* w : buttons) w->setVisible(!busy);
        for (QWidget* w : progress) w->setVisible(busy);
    });
}

// --- Device commands -----------------------------------------------------------

void MainDialog::SearchAtStartup() {
    if (sessionFindAtStartup(settings_.baudRate, settings_.autoBaudRate))
        OnQueryDevice();
    EnableCommands(true);
    SetBusyLayout(false);
}

void MainDialog::OnDownload() {
    EnableCommands(false);
    const ScreenCapture capture =
        sessionCaptureScreen(deviceInfo_, settings_.baudRate, settings_.autoBaudRate, [this] {
            SetBusyLayout(true);
            progressBegin(progress_.get(), progress_.get());
        });
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
    std::string directory(settings_.outputPathText());
    const uint8_t screenType = deviceInfo_.screenType;
    if (settings_.autoSave != 0) {
        bitmapSaveAuto(capture.info, capture.pixels, screenType, directory, deviceInfo_);
    } else {
        // Auto Name proposes a generated name; otherwise the name starts empty.
        bitmapSaveAs(capture.info, capture.pixels, screenType, directory,
                     settings_.autoName != 0 ? &deviceInfo_ : nullptr);
    }
    settings_.setOutputPath(directory);  // a trailing "/" is gone from it now
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
    if (!sessionIdentify(deviceInfo_, version)) {
        ClearDeviceInfo();
        tell(DeviceMessage::NoResponse);
    }
    showDevice(deviceInfo_.name, version);
    EnableCommands(true);
}

void MainDialog::OnAutoDetect() {
    EnableCommands(false);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1)
            SelectCommPort(settings_.commPort == 1 ? 2 : 1);
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
