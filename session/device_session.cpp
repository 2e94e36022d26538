#include "session/device_session.h"

#include <cstring>

#include "capture/screen_download.h"
#include "link/device_link.h"
#include "link/device_query.h"
#include "link/packet_link.h"
#include "serial/serial_port.h"

namespace {

// Room for the version text; the receiver's is a few characters.
constexpr size_t kVersionTextSize = 256;

// The highest screen type that can be downloaded; higher ones have nothing to fetch.
constexpr uint8_t kLastScreenType = 4;

void forgetLayout(DeviceInfo& info) {
    info.screenType = 0;
    info.recordFormat = 0;
    info.palette = nullptr;
    info.postProcess = PostProcess::None;
}

}  // namespace

void sessionMoveToSettingsRate(uint8_t baudChoice, uint8_t autoBaudRate) {
    if (baudChoice == 0) {
        return;
    }
    const uint32_t rate = serialRateForIndex(baudChoice == 1 ? autoBaudRate : baudChoice);
    if (baudChoice == 1 && rate == 0) {
        return;  // nothing remembered yet
    }
    serialSetBaudRate(rate);  // refuses 0, which an unknown choice gives
}

bool sessionFindAtStartup(uint8_t baudChoice, uint8_t autoBaudRate) {
    if (deviceCheckLink()) {
        return true;
    }
    sessionMoveToSettingsRate(baudChoice, autoBaudRate);
    return deviceCheckLink() != 0;
}

bool sessionCheckOrProbe() {
    return deviceCheckLink() || deviceProbeBaudRates();
}

bool sessionIdentify(DeviceInfo& info, std::string& version, uint16_t* productId) {
    std::memset(info.name, 0, sizeof info.name);
    std::strncpy(info.name, kNotConnected, sizeof info.name - 1);
    char text[kVersionTextSize] = {};
    std::strncpy(text, kNotConnected, sizeof text - 1);
    uint16_t reported = 0;
    const bool answered = deviceQueryProduct(info, text, sizeof text, &reported) == 0;
    version = text;
    if (productId) {
        *productId = reported;
    }
    if (answered && reported >= kCatalogueSize) {
        forgetLayout(info);
    }
    return answered;
}

ScreenCapture sessionCaptureScreen(const DeviceInfo& device, uint8_t baudChoice,
                                   uint8_t& autoBaudRate,
                                   const std::function<void()>& linkAnswered) {
    ScreenCapture capture;
    serialFlush();
    linkResetReceiver();
    if (!deviceCheckLink()) {
        capture.failure = DeviceMessage::NoResponse;
        return capture;
    }
    capture.linkAnswered = true;
    if (linkAnswered) {
        linkAnswered();
    }
    if (!catalogueSupportsCapture(&device)) {
        capture.failure = DeviceMessage::NotSupported;
        return capture;
    }
    if (!deviceSetDesiredBaudRate(baudChoice, autoBaudRate)) {
        capture.failure = DeviceMessage::BaudRate;
        return capture;
    }
    if (device.screenType > kLastScreenType) {
        return capture;
    }
    uint8_t error = DownloadOk;
    capture.pixels = screenDownload(capture.info, device, error);
    if (error != DownloadOk) {
        capture.failure = downloadErrorMessage(error);
        capture.pixels.clear();
    }
    return capture;
}
