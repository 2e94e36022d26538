#include "sim/virtual_receiver.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>

#include "sim/line_speed.h"
#include "sim/screen_encoder.h"
#include "sim/sim_wire.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long the receiver waits for the host to follow a rate change it agreed to.
constexpr auto RateSwitchGrace = 1s;
constexpr auto IdlePoll = 20ms;
// Paced output goes out in slices of at most 4 ms of line time, so that a
// host polling every 5 ms finds data on each tick, as from a UART that sends
// without pauses.
constexpr uint32_t PacedSlicesPerSecond = 250;
constexpr auto DrainLimit = 2s;
constexpr auto DrainPoll = 5ms;
constexpr auto DrainUnseen = 300ms;
constexpr size_t PastEndExtra = 16;
constexpr size_t PaletteStreamBytes = 768;
constexpr size_t MaxPaletteChunk = 246;  // triples that fit after a format-4 record's fixed part
// A packet that no host knows, sent by the unknown-packets fault.
constexpr uint8_t UnknownPacket = 51;
const std::vector<uint8_t> UnknownPayload{0x01, 0x10, 0x03};

// Two UARTs understand each other when their clocks differ by a few percent.
bool ratesAgree(uint32_t line, uint32_t device) {
    const int64_t difference = static_cast<int64_t>(line) - static_cast<int64_t>(device);
    return line != 0 && std::abs(difference) * 100 <= 3 * static_cast<int64_t>(device);
}

uint16_t commandOf(const std::vector<uint8_t>& payload) {
    return payload.size() >= 2 ? wire::getLe16(payload.data()) : 0xFFFF;
}

}  // namespace

struct VirtualReceiver::Engine {
    VirtualReceiver& owner;
    const Config& config;
    EncodedScreen screen;
    int master = -1;
    int slave = -1;
    int wake = -1;
    std::atomic<bool> stopping{false};
    wire::FrameDecoder decoder;
    std::deque<uint8_t> input;   // read from the line, not yet decoded
    bool sendingScreen = false;  // hears nothing meanwhile
    uint32_t rate = 0;
    bool switchPending = false;
    uint32_t pendingRate = 0;
    Clock::time_point switchDeadline;
    unsigned rateListRequests = 0;
    std::minstd_rand noiseSource{20240611};
    Clock::time_point paceClock;

    Engine(VirtualReceiver& o, const Config& c) : owner(o), config(c), rate(c.initialRate) {}
    ~Engine() { closeAll(); }

    bool open(std::string& error, std::string& slavePath);
    void closeAll();
    void run();

    uint32_t lineRate() const;
    void publishRate(uint32_t newRate);
    void checkPendingSwitch(uint32_t line);
    void readLine(uint32_t line);
    bool readInput();
    void decodeInput(uint32_t line);
    void ignoreWhileSending();
    void onFrame(const wire::Frame& frame, uint32_t line);
    void onCommand(uint16_t command);
    void onRateChangeRequest(const std::vector<uint8_t>& payload);
    void answerRateList();

    bool send(uint8_t id, const std::vector<uint8_t>& payload, uint8_t checksumError = 0,
              bool behindUnknown = false);
    bool writeAll(const uint8_t* data, size_t size);
    bool writeSome(const uint8_t* data, size_t size);
    bool pause(std::chrono::nanoseconds duration);
    void dropLine();

    void sendScreen();
    bool sendRecord(const std::vector<uint8_t>& payload, bool& first, uint8_t checksumError = 0);
    bool sendPalette(bool& first);
    bool sendPixelChunks(bool& first);
    bool sendOddRecords(bool& first);
    bool sendShortRecords(bool& first);
};

bool VirtualReceiver::Engine::open(std::string& error, std::string& slavePath) {
    termios raw{};
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0 || ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("cannot set up the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    // The receiver keeps the slave open too, so that the line stays up while
    // the host closes and reopens its port.
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    slavePath = name;
    return true;
}

void VirtualReceiver::Engine::closeAll() {
    for (int* fd : {&master, &slave, &wake}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}

uint32_t VirtualReceiver::Engine::lineRate() const {
    termios t{};
    if (master < 0 || tcgetattr(master, &t) != 0) {
        return 0;
    }
    return simRateOfSpeed(cfgetospeed(&t));
}

void VirtualReceiver::Engine::publishRate(uint32_t newRate) {
    rate = newRate;
    {
        std::lock_guard lock(owner.mutex_);
        owner.rate_ = newRate;
    }
    owner.notifyChange();
}

void VirtualReceiver::Engine::run() {
    while (!stopping) {
        pollfd fds[2] = {{wake, POLLIN, 0}, {master, POLLIN, 0}};
        const int count = master >= 0 ? 2 : 1;
        const int timeout = static_cast<int>(IdlePoll.count());
        if (poll(fds, count, timeout) < 0 && errno != EINTR) {
            break;
        }
        if (stopping || (fds[0].revents & POLLIN)) {
            break;
        }
        const uint32_t line = lineRate();
        checkPendingSwitch(line);
        if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            readLine(line);
        }
    }
}

void VirtualReceiver::Engine::checkPendingSwitch(uint32_t line) {
    if (switchPending && (Clock::now() >= switchDeadline || ratesAgree(line, pendingRate))) {
        switchPending = false;
        publishRate(pendingRate);
    }
}

void VirtualReceiver::Engine::readLine(uint32_t line) {
    if (readInput()) {
        decodeInput(line);
    }
}

bool VirtualReceiver::Engine::readInput() {
    uint8_t buffer[4096];
    const ssize_t n = master >= 0 ? ::read(master, buffer, sizeof buffer) : 0;
    if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            pause(IdlePoll);  // nobody on the slave side: do not spin
        }
        return false;
    }
    input.insert(input.end(), buffer, buffer + n);
    return true;
}

// Byte by byte, so that a frame that starts the screen leaves the bytes
// behind it to be decoded, in order, while the screen goes out.
void VirtualReceiver::Engine::decodeInput(uint32_t line) {
    wire::Frame frame;
    while (!input.empty()) {
        const uint8_t byte = input.front();
        input.pop_front();
        if (decoder.feed(byte, frame)) {
            onFrame(frame, line);
        }
    }
}

// A receiver sending its screen does not listen: what arrives meanwhile is
// logged as not heard, and never answered.
void VirtualReceiver::Engine::ignoreWhileSending() {
    while (readInput()) {
    }
    decodeInput(lineRate());
}

void VirtualReceiver::Engine::onFrame(const wire::Frame& frame, uint32_t line) {
    const bool heard = !sendingScreen && frame.checksumOk && ratesAgree(line, rate);
    {
        std::lock_guard lock(owner.mutex_);
        owner.log_.push_back(
            LoggedPacket{frame.id, frame.payload, line, heard, frame.checksumOk, Clock::now()});
    }
    owner.notifyChange();
    if (!heard || config.faults.silent) {
        return;
    }
    switch (frame.id) {
        case wire::packet::ProductQuery:
            if (!config.faults.noProductReply) {
                std::vector<uint8_t> reply;
                wire::putLe16(reply, config.productId);
                wire::putLe16(reply, config.version);
                static const char description[] = "VIRTUAL RECEIVER";
                reply.insert(reply.end(), description, description + sizeof description);
                send(wire::packet::ProductReply, reply);
            }
            break;
        case wire::packet::Command:
            onCommand(commandOf(frame.payload));
            break;
        case wire::packet::RateChangeRequest:
            onRateChangeRequest(frame.payload);
            break;
        case wire::packet::Acknowledge:
            if (switchPending && commandOf(frame.payload) == wire::packet::RateChangeReply) {
                switchPending = false;
                publishRate(pendingRate);
            }
            break;
        default:
            break;  // unknown packets and acknowledgements of other packets
    }
}

void VirtualReceiver::Engine::onCommand(uint16_t command) {
    switch (command) {
        case wire::command::ListRates:
            answerRateList();
            break;
        case wire::command::SendScreen:
            sendScreen();
            break;
        default:
            break;  // the confirmation after a rate change needs no answer
    }
}

void VirtualReceiver::Engine::answerRateList() {
    ++rateListRequests;
    if (config.faults.answerSecondLinkCheck && rateListRequests % 2 == 1) {
        return;
    }
    if (config.faults.noRateList || config.rates.empty()) {
        // A receiver without rate changes still shows it is alive.
        std::vector<uint8_t> ack;
        wire::putLe16(ack, wire::packet::Command);
        send(wire::packet::Acknowledge, ack);
        return;
    }
    std::vector<uint8_t> list;
    for (uint32_t r : config.rates) {
        wire::putLe32(list, r);
    }
    send(wire::packet::RateList, list, 0, true);
}

void VirtualReceiver::Engine::onRateChangeRequest(const std::vector<uint8_t>& payload) {
    if (payload.size() < 4 || config.faults.refuseRateChange) {
        return;
    }
    const uint32_t requested = wire::getLe32(payload.data());
    const bool offered = std::any_of(config.rates.begin(), config.rates.end(),
                                     [&](uint32_t r) { return ratesAgree(requested, r); });
    if (!offered) {
        return;
    }
    std::vector<uint8_t> reply;
    wire::putLe32(reply, requested);
    if (send(wire::packet::RateChangeReply, reply, 0, true)) {
        switchPending = true;
        pendingRate = requested;
        switchDeadline = Clock::now() + RateSwitchGrace;
    }
}

// `behindUnknown`: with the unknown-packets fault, an unknown packet goes out
// in the same write right in front of this one, so that both reach the host
// in one burst.
bool VirtualReceiver::Engine::send(uint8_t id, const std::vector<uint8_t>& payload,
                                   uint8_t checksumError, bool behindUnknown) {
    if (master < 0 || stopping) {
        return false;
    }
    if (!ratesAgree(lineRate(), rate)) {
        return true;  // the host would read garbage: as good as nothing
    }
    std::vector<uint8_t> bytes;
    if (config.faults.noise) {
        const int count = 1 + static_cast<int>(noiseSource() % 3);
        for (int i = 0; i < count; ++i) {
            uint8_t b = static_cast<uint8_t>(noiseSource());
            bytes.push_back(b == wire::Dle ? 0x11 : b);
        }
    }
    if (behindUnknown && config.faults.unknownPackets) {
        const std::vector<uint8_t> unknown = wire::encodeFrame(UnknownPacket, UnknownPayload);
        bytes.insert(bytes.end(), unknown.begin(), unknown.end());
    }
    const std::vector<uint8_t> frame = wire::encodeFrame(id, payload, checksumError);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    return writeAll(bytes.data(), bytes.size());
}

bool VirtualReceiver::Engine::writeAll(const uint8_t* data, size_t size) {
    if (!config.pace) {
        return writeSome(data, size);
    }
    paceClock = std::max(paceClock, Clock::now());
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / std::max<uint32_t>(rate, 1));
    const size_t sliceBytes = std::max<size_t>(1, rate / 10 / PacedSlicesPerSecond);
    for (size_t done = 0; done < size; done += sliceBytes) {
        const size_t slice = std::min(sliceBytes, size - done);
        if (!writeSome(data + done, slice)) {
            return false;
        }
        paceClock += byteTime * static_cast<int64_t>(slice);
        if (!pause(paceClock - Clock::now())) {
            return false;
        }
    }
    return true;
}

bool VirtualReceiver::Engine::writeSome(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(master, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd fds[2] = {{wake, POLLIN, 0}, {master, POLLOUT, 0}};
        poll(fds, 2, -1);
        if (stopping || (fds[0].revents & POLLIN)) {
            return false;
        }
    }
    return true;
}

bool VirtualReceiver::Engine::pause(std::chrono::nanoseconds duration) {
    if (duration <= std::chrono::nanoseconds::zero()) {
        return !stopping;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>((duration - seconds).count())};
    pollfd fd{wake, POLLIN, 0};
    ppoll(&fd, 1, &timeout, nullptr);
    return !stopping && !(fd.revents & POLLIN);
}

void VirtualReceiver::Engine::dropLine() {
    // Let the host read what went out before the line goes, as a cable pulled
    // mid-transfer would have delivered it. Written bytes reach the slave's
    // queue a little later, so wait to see them there and leave, or give them
    // a moment if the host took them before they were ever seen.
    const auto start = Clock::now();
    bool seen = false;
    for (int waiting = 0; ioctl(slave, FIONREAD, &waiting) == 0 && pause(DrainPoll);) {
        seen = seen || waiting > 0;
        const auto spent = Clock::now() - start;
        if ((seen && waiting == 0) || (!seen && spent > DrainUnseen) || spent > DrainLimit) {
            break;
        }
    }
    {
        std::lock_guard lock(owner.mutex_);
        owner.dropped_ = true;
    }
    ::close(master);
    master = -1;
    owner.notifyChange();
}

void VirtualReceiver::Engine::sendScreen() {
    if (config.screen.screenType == 0) {
        return;  // this product's screen cannot be captured
    }
    sendingScreen = true;
    bool first = true;
    const bool whole = sendRecord(headerRecord(config.screen, screen.geometry), first) &&
                       !config.faults.stopAfterHeader && sendShortRecords(first) &&
                       sendOddRecords(first) && sendPalette(first) && sendPixelChunks(first);
    ignoreWhileSending();
    sendingScreen = false;
    if (!whole) {
        return;
    }
    {
        std::lock_guard lock(owner.mutex_);
        ++owner.screens_;
    }
    owner.notifyChange();
}

bool VirtualReceiver::Engine::sendRecord(const std::vector<uint8_t>& payload, bool& first,
                                         uint8_t checksumError) {
    if (!first && config.faults.chunkGapMs > 0 &&
        !pause(std::chrono::milliseconds(config.faults.chunkGapMs))) {
        return false;
    }
    first = false;
    ignoreWhileSending();
    return send(wire::packet::ScreenRecord, payload, checksumError);
}

// A header that changes the geometry and a pixel chunk, both cut short of
// their fixed part: a host must not take either.
bool VirtualReceiver::Engine::sendShortRecords(bool& first) {
    if (!config.faults.shortRecords) {
        return true;
    }
    RawGeometry other = screen.geometry;
    other.rowBytes += 1;
    std::vector<uint8_t> header = headerRecord(config.screen, other);
    header.pop_back();
    std::vector<uint8_t> chunk = bareRecord(config.screen.recordFormat, 1);
    chunk.push_back(0xFF);
    return sendRecord(header, first) && sendRecord(chunk, first);
}

// A packet the host does not know and a screen record of an unknown type.
bool VirtualReceiver::Engine::sendOddRecords(bool& first) {
    if (!config.faults.unknownPackets) {
        return true;
    }
    std::vector<uint8_t> odd = bareRecord(config.screen.recordFormat, 7);
    odd.insert(odd.end(), {0xDE, 0xAD, 0x10, 0x03});
    return send(UnknownPacket, UnknownPayload) && sendRecord(odd, first);
}

bool VirtualReceiver::Engine::sendPalette(bool& first) {
    if (config.screen.recordFormat != 4) {
        return true;
    }
    std::vector<uint8_t> stream(PaletteStreamBytes, 0);
    const size_t entries = std::min(config.picture.palette.size(), PaletteStreamBytes / 3);
    for (size_t i = 0; i < entries; ++i) {
        const Rgb& c = config.picture.palette[i];
        stream[3 * i] = c.blue;
        stream[3 * i + 1] = c.green;
        stream[3 * i + 2] = c.red;
    }
    const size_t step =
        std::max<size_t>(3, std::min<size_t>(config.chunkSize, MaxPaletteChunk) / 3 * 3);
    for (size_t offset = 0; offset < stream.size(); offset += step) {
        const size_t count = std::min(step, stream.size() - offset);
        std::vector<uint8_t> record =
            paletteChunkRecord(static_cast<uint32_t>(offset), &stream[offset], count);
        if (config.faults.raggedPalette && offset + count == stream.size()) {
            record.push_back(0x77);  // one byte of a 257th colour
        }
        if (!sendRecord(record, first)) {
            return false;
        }
    }
    return true;
}

bool VirtualReceiver::Engine::sendPixelChunks(bool& first) {
    const uint8_t format = config.screen.recordFormat;
    const size_t step = std::clamp<size_t>(static_cast<size_t>(config.chunkSize), 1,
                                           wire::MaxPayload - pixelChunkFixedSize(format));
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t offset = 0; offset < screen.raw.size(); offset += step) {
        const size_t count = std::min(step, screen.raw.size() - offset);
        chunks.push_back(
            pixelChunkRecord(format, static_cast<uint32_t>(offset), &screen.raw[offset], count));
    }
    if (config.faults.chunkPastEnd && !chunks.empty()) {
        std::vector<uint8_t>& last = chunks.back();
        last.resize(std::min(last.size(), wire::MaxPayload - PastEndExtra));
        last.insert(last.end(), PastEndExtra, 0xEE);
    }
    if (config.faults.reverseChunks) {
        std::reverse(chunks.begin(), chunks.end());
    }
    const size_t dropAt = config.faults.dropLine ? chunks.size() / 2 : chunks.size();
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (i == dropAt) {
            dropLine();
            return false;
        }
        const bool corrupt = config.faults.badChecksumChunk == static_cast<int>(i);
        if ((config.faults.unknownPackets && i == chunks.size() / 2 && !sendOddRecords(first)) ||
            !sendRecord(chunks[i], first, corrupt ? 1 : 0)) {
            return false;
        }
    }
    return true;
}

VirtualReceiver::VirtualReceiver(Config config) : config_(std::move(config)) {}

VirtualReceiver::~VirtualReceiver() {
    stop();
}

bool VirtualReceiver::start() {
    if (engine_) {
        error_ = "the receiver is already running";
        return false;
    }
    error_ = validateConfig(config_);
    if (!error_.empty()) {
        return false;
    }
    auto engine = std::make_unique<Engine>(*this, config_);
    if (config_.screen.screenType != 0) {
        encodeScreen(config_.screen, config_.picture, engine->screen);
        expected_ = engine->screen.expected;
    }
    if (!engine->open(error_, slavePath_)) {
        return false;
    }
    rate_ = config_.initialRate;
    engine_ = std::move(engine);
    thread_ = std::thread([this] { engine_->run(); });
    return true;
}

void VirtualReceiver::stop() {
    if (!engine_) {
        return;
    }
    engine_->stopping = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(engine_->wake, &one, sizeof one);
    if (thread_.joinable()) {
        thread_.join();
    }
    engine_.reset();
}

uint32_t VirtualReceiver::currentRate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

std::vector<LoggedPacket> VirtualReceiver::packets() const {
    std::lock_guard lock(mutex_);
    return log_;
}

size_t VirtualReceiver::packetCount() const {
    std::lock_guard lock(mutex_);
    return log_.size();
}

void VirtualReceiver::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

size_t VirtualReceiver::screensSent() const {
    std::lock_guard lock(mutex_);
    return screens_;
}

bool VirtualReceiver::lineDropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

bool VirtualReceiver::waitForPackets(size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return log_.size() >= count; }, timeout);
}

bool VirtualReceiver::waitForRate(uint32_t rate, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return rate_ == rate; }, timeout);
}

bool VirtualReceiver::waitForScreens(size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return screens_ >= count; }, timeout);
}

bool VirtualReceiver::waitUntil(const std::function<bool()>& condition,
                                std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, condition);
}

void VirtualReceiver::notifyChange() {
    changed_.notify_all();
}

}  // namespace sim
