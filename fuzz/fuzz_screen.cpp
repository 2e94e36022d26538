// Arbitrary screen records, in any order and with any geometry. The input
// picks the device and then lists records as [length][payload]; one record in
// eight (which, the input says) has its checksum broken.
//
// Each input runs twice: straight into a ScreenTransfer, where the bytes it
// reports present are checked against the bytes the records really carried,
// and through a whole screen download from a scripted port, where each record
// becomes one framed packet (ID 69, or another ID for a zero length). The
// download is stopped once the script has been read, instead of waiting out
// its 800 quiet ticks.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "capture/screen_download.h"
#include "capture/screen_transfer.h"
#include "link/packet_link.h"
#include "platform/stop_request.h"
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
    linkResetReceiver();
    tickUseManualSource(true);
    tickSetManualHook([](uint64_t) {
        if (gDevice.input.empty() && !linkPacketWaiting())
            stopRequest();
    });
}

void putFramed(std::deque<uint8_t>& out, uint8_t id, const uint8_t* payload, uint8_t length,
               bool broken) {
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
    put(static_cast<uint8_t>(-sum + (broken ? 1 : 0)));
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

// Empties the queue and ends any frame left open, without the full reset,
// which walks all 65535 queue entries and would cost most of the run time;
// the ring and queue positions carry over from input to input instead.
void resynchronise() {
    linkSetOverflow(0);
    linkReceiveByte(0x10);
    linkReceiveByte(0x03);
    Packet packet;
    while (linkPacketWaiting()) linkTakePacket(packet);
}

struct Record {
    const uint8_t* payload;
    uint8_t length;
    bool broken;
};

std::vector<Record> splitRecords(const uint8_t* data, size_t size, uint8_t brokenSlot) {
    std::vector<Record> records;
    for (size_t at = 0; at < size;) {
        const uint8_t length = data[at++];
        const uint8_t available = static_cast<uint8_t>(std::min<size_t>(length, size - at));
        records.push_back({data + at, available, (records.size() & 7) == brokenSlot});
        at += available;
    }
    return records;
}

uint32_t readLe(const uint8_t* p, uint32_t bytes) {
    uint32_t value = 0;
    for (uint32_t i = bytes; i-- > 0;) value = value << 8 | p[i];
    return value;
}

// What the records carried, kept beside the transfer: the raw bytes that a
// whole pixel chunk of an intact packet covered since the last header.
class ArrivedBytes {
  public:
    explicit ArrivedBytes(const RecordLayout& layout) : layout_(layout) {}

    void take(const Record& r, const ScreenTransfer& transfer) {
        if (r.broken || r.length < layout_.typeBytes)
            return;
        const uint32_t type = readLe(r.payload, layout_.typeBytes);
        if (type == 0 && r.length >= layout_.headerBytes) {
            arrived_.assign(transfer.rawSize(), false);
            count_ = 0;
        } else if (type == 1 && r.length >= layout_.chunkDataAt) {
            const uint64_t offset = readLe(r.payload + layout_.chunkOffsetAt, 4);
            const uint64_t end =
                std::min<uint64_t>(offset + r.length - layout_.chunkDataAt, arrived_.size());
            for (uint64_t at = offset; at < end; ++at) {
                count_ += !arrived_[at];
                arrived_[at] = true;
                // Every byte that came is present in the transfer...
                check(transfer.bytePresent(static_cast<uint32_t>(at)));
            }
        }
        // ... and as many as came: none is present that never arrived.
        check(transfer.presentCount() == count_);
    }

  private:
    static void check(bool condition) {
        if (!condition)
            std::abort();
    }
    const RecordLayout& layout_;
    std::vector<bool> arrived_;
    uint64_t count_ = 0;
};

void transferDirectly(const DeviceInfo& device, const std::vector<Record>& records) {
    BitmapInfo info{};
    bool downloadsPalette = false;
    if (screenPrepareBitmap(info, device, downloadsPalette) != DownloadOk)
        return;
    ScreenTransfer transfer(info, device, downloadsPalette);
    ArrivedBytes arrived(*screenRecordLayout(device.recordFormat));
    Packet packet;
    for (const Record& r : records) {
        if (transfer.done())
            break;
        packet.id = r.length == 0 ? 12 : PacketId::ScreenRecord;
        packet.length = r.length;
        packet.valid = r.broken ? 0 : 1;
        std::copy_n(r.payload, r.length, packet.payload);
        transfer.handlePacket(packet);
        if (transfer.done() && transfer.error() != DownloadOk)
            break;  // a geometry that cannot be built
        if (packet.id == PacketId::ScreenRecord)
            arrived.take(r, transfer);
    }
    // A picture is complete exactly when all of it has come.
    if (transfer.done() && transfer.error() == DownloadOk &&
        transfer.presentCount() != transfer.rawSize())
        std::abort();
}

void downloadFromPort(const DeviceInfo& device, const std::vector<Record>& records) {
    gDevice.input.clear();
    for (const Record& r : records)
        putFramed(gDevice.input, r.length == 0 ? 12 : 69, r.payload, r.length, r.broken);
    resynchronise();
    stopClear();

    BitmapInfo info{};
    uint8_t error = 0xFF;
    const std::vector<uint8_t> pixels = screenDownload(info, device, error);
    if (error >= kDownloadErrorCount)
        std::abort();
    if (error != DownloadOk && !pixels.empty())
        std::abort();
    if (!pixels.empty()) {
        if (pixels.size() != info.header.biSizeImage || info.header.biWidth <= 0 ||
            info.header.biHeight <= 0)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    setUpOnce();
    const DeviceInfo device = pickDevice(data);
    const std::vector<Record> records = splitRecords(data + 3, size - 3, data[1] >> 5);
    transferDirectly(device, records);
    downloadFromPort(device, records);
    return 0;
}
