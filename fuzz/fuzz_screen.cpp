// Arbitrary screen records, in any order and with any geometry, through a
// whole screen download. The input picks the device and then lists records
// as [length][payload]; each becomes one framed packet (ID 69, or another ID
// for a zero length) that the download receives from a scripted port.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "capture/screen_download.h"
#include "link/packet_link.h"
#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"

namespace {

// Serves the scripted bytes to the port.
class ScriptedDevice final : public SerialDevice {
  public:
    std::deque<uint8_t> input;
    bool open(const std::string&, int& error) override {
        error = 0;
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool configure(uint32_t) override { return true; }
    void purge(uint32_t) override {}
    void setDtr(bool) override {}
    uint32_t takeErrors(uint32_t& waiting) override {
        waiting = static_cast<uint32_t>(input.size());
        return 0;
    }
    int32_t read(uint8_t* buffer, uint32_t count) override {
        uint32_t n = 0;
        for (; n < count && !input.empty(); ++n) {
            buffer[n] = input.front();
            input.pop_front();
        }
        return static_cast<int32_t>(n);
    }
    bool write(const uint8_t*, uint32_t) override { return true; }
    int waitDescriptor() const override { return -1; }

  private:
    bool open_ = false;
};

ScriptedDevice gDevice;

void setUpOnce() {
    static bool done = false;
    if (done)
        return;
    done = true;
    serialSetBackend(&gDevice);
    serialInit();
    serialSetByteHandler(linkReceiveByte);
    if (serialOpen(1) != 1)
        std::abort();
    tickUseManualSource(true);
}

void putFramed(std::deque<uint8_t>& out, uint8_t id, const uint8_t* payload, uint8_t length) {
    const auto put = [&out](uint8_t b) {
        out.push_back(b);
        if (b == 0x10)
            out.push_back(b);
    };
    out.push_back(0x10);
    out.push_back(id);
    uint8_t sum = static_cast<uint8_t>(id + length);
    put(length);
    for (uint8_t i = 0; i < length; ++i) {
        put(payload[i]);
        sum = static_cast<uint8_t>(sum + payload[i]);
    }
    put(static_cast<uint8_t>(-sum));
    out.push_back(0x10);
    out.push_back(0x03);
}

// A capturable catalogue row, or a made-up row of any screen type and format.
DeviceInfo pickDevice(const uint8_t* data) {
    DeviceInfo device{};
    if (data[0] < 0xC0) {
        uint32_t wanted = data[0] % 87;
        for (uint32_t id = 0; id < kCatalogueSize; ++id) {
            if (!catalogueSupportsCapture(&ProductCatalogue[id]))
                continue;
            if (wanted-- == 0) {
                static_cast<ProductRecord&>(device) = ProductCatalogue[id];
                break;
            }
        }
        return device;
    }
    device.screenType = data[1] % 6;
    device.recordFormat = data[2] % 6;
    device.palette = (data[0] & 1) ? StandardPalette16.data() : nullptr;
    return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    setUpOnce();
    const DeviceInfo device = pickDevice(data);
    data += 3;
    size -= 3;

    gDevice.input.clear();
    for (size_t at = 0; at < size;) {
        const uint8_t length = data[at++];
        const uint8_t available = static_cast<uint8_t>(std::min<size_t>(length, size - at));
        putFramed(gDevice.input, length == 0 ? 12 : 69, data + at, available);
        at += available;
    }
    linkResetReceiver();
    linkSetOverflow(0);

    BitmapInfo info{};
    uint8_t error = 0xFF;
    const std::vector<uint8_t> pixels = screenDownload(info, device, error);
    if (error >= kDownloadErrorCount)
        std::abort();
    if (error != DownloadOk && !pixels.empty())
        std::abort();
    if (error == DownloadOk) {
        if (pixels.size() != info.header.biSizeImage || info.header.biWidth <= 0 ||
            info.header.biHeight <= 0)
            std::abort();
    }
    return 0;
}
