// A virtual GPS receiver on a pseudo-terminal.
//
// The receiver opens a pseudo-terminal and plays the device on its master
// side; the program under test opens slavePath() as its serial port. It runs
// on a thread of its own from start() to stop() and answers the host's
// packets as a receiver does: product query, rate list, rate change and the
// screen transfer in each of the four screen-record layouts.
//
// It shares no code with link/: it has its own frame encoder and decoder,
// its own packet numbers and its own copy of the catalogue columns it needs,
// so that a mistake on one end of the line cannot hide itself on the other.
//
// Line rate. The receiver has a current rate (9600 after power-on unless
// Config::initialRate says otherwise). It hears a packet only while the
// slave's termios speed, read through the master with tcgetattr, is within
// 3 % of that rate; otherwise the packet is logged as not heard and dropped.
// It sends only while the rates agree. After agreeing to a rate change it
// answers at the old rate and switches once it hears the host's
// acknowledgement, once it sees the host's port at the new rate, or after
// one second, whichever comes first. (A host that purges and changes its port
// without pausing after the acknowledgement may destroy that
// acknowledgement before the receiver reads it, as on a real line.)
//
// While it sends its screen the receiver hears nothing: packets that arrive
// meanwhile are logged as not heard and never answered, so a host that
// stopped a capture half-way meets a receiver that finishes its screen first.
//
// Screen. Config::picture is what the device shows: one palette index per
// pixel, top row first. The receiver turns it into the raw picture that such
// a device sends (orientation, raw bits per pixel, value map, and the inverse
// of the product's post-processing routine), so that a correct capture gives
// back expectedPicture(): the picture itself, except for the pixels that the
// post-processing routine blanks (the last 28 bytes, or outside the cropped
// window), which read as raw value 0.
//
// Thread safety: every public member may be called from any thread; the
// configuration is fixed once start() has been called.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

struct Rgb {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    bool operator==(const Rgb&) const = default;
};

// What the device's screen shows.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height palette indices, top row first
    std::vector<Rgb> palette;     // sent by record-format-4 devices (padded to 256 entries)

    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool operator==(const Picture&) const = default;
};

// The routine the host applies to the raw picture; the receiver sends its inverse.
enum class PostProcess : uint8_t {
    None,
    ReverseBitOrder,
    SplitEvenOddBytes,
    ClearLast28Bytes,
    CropWindowSwapNibbles,
};

// How the device scans and packs its screen.
struct Screen {
    uint8_t screenType = 0;    // 0: no screen capture (SendScreen is ignored); 1 to 4
    uint8_t recordFormat = 0;  // 1 to 4: layout of the screen records
    PostProcess postProcess = PostProcess::None;
    bool transposed = false;   // each raw row is a column of the screen
    bool forward = true;       // scan direction (see the orientation of the records)
    uint8_t bitsPerPixel = 1;  // raw bits per pixel: 1, 2, 4 or 8
    int rowPadding = 0;        // extra bytes at the end of each raw row (0 to 16)
    // Record format 3: palette index of each raw value. Must reach every index
    // the picture uses. Other formats send it as filler (format 4) or not at all.
    std::array<uint8_t, 16> valueMap{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
};

// Misbehaviour on request. Everything off by default.
struct Faults {
    bool silent = false;                 // never answers anything
    bool answerSecondLinkCheck = false;  // ignores every other rate-list request, first included
    bool noProductReply = false;         // ignores the product query
    bool noRateList = false;             // answers the rate-list request with another packet
    bool refuseRateChange = false;       // ignores rate-change requests
    bool stopAfterHeader = false;        // sends the screen header and nothing more
    uint32_t chunkGapMs = 0;             // pause between screen records
    bool reverseChunks = false;          // pixel chunks from the last to the first
    int badChecksumChunk = -1;           // pixel chunk (0 = first sent) with a wrong checksum
    bool unknownPackets = false;         // unknown packets between records and before rate replies
    bool chunkPastEnd = false;           // the last pixel chunk runs 16 bytes past the raw size
    bool shortRecords = false;           // a header and a pixel chunk shorter than their fixed part
    bool raggedPalette = false;          // a palette chunk whose length is not a multiple of 3
    bool noise = false;                  // noise bytes (never DLE) between frames
    bool dropLine = false;               // closes the master half-way through the pixel chunks
};

struct Config {
    uint16_t productId = 0;
    uint16_t version = 100;  // software version times 100
    // Rates offered in the rate list, in the order sent (at most 63; more than
    // 16 is a malformed list). Empty: the receiver offers no rate changes.
    std::vector<uint32_t> rates{9600, 19200, 38400, 57600, 115200};
    uint32_t initialRate = 9600;  // as if an earlier run had left it there
    Screen screen;
    Picture picture;
    int chunkSize = 240;  // pixel bytes per chunk; clamped to what one packet holds
    bool pace = false;    // pace output at the current rate, ten bit times a byte
    Faults faults;
};

// One packet the receiver decoded from the line.
struct LoggedPacket {
    uint8_t id = 0;
    std::vector<uint8_t> payload;
    uint32_t lineRate = 0;  // the slave's speed when it arrived (0: not a standard speed)
    bool heard = false;     // the receiver was at that rate and the checksum was right
    bool checksumOk = false;
    std::chrono::steady_clock::time_point time;
};

// Built-in test patterns; each uses every colour it is given and is
// asymmetric, so that a turned or mirrored capture never matches.
enum class Pattern : uint8_t { Bars, Checker, Ramp, Noise };

Picture makeTestPattern(Pattern pattern, int width, int height, int colours);
// Parses a pattern name ("bars", "checker", "ramp", "noise").
bool parsePattern(std::string_view name, Pattern& pattern);

// A picture from an uncompressed 1-, 4- or 8-bit .bmp file; false with a
// reason in `error` when the file is unreadable, malformed or too large.
bool loadPictureBmp(const std::string& path, Picture& picture, std::string& error);

// The receiver a product ID stands for: its screen type, record format and
// post-processing from the receiver's own product table, a plausible screen
// geometry for that kind of device and a test pattern. Products whose screen
// cannot be captured (and IDs outside the table) get no screen.
Config presetForProduct(uint16_t productId);
// The product a front end's --simulate plays when given no ID: a colour one.
constexpr uint16_t kDefaultSimulatedProduct = 144;

// Applies one fault switch by name: "silent", "second-check", "no-product",
// "no-rates", "refuse-rate", "stop-after-header", "gap=SECONDS", "reverse",
// "bad-checksum=K", "unknown-packets", "past-end", "short-records",
// "ragged-palette", "noise", "drop-line". False for an unknown name or value.
bool applyFault(std::string_view faultText, Faults& faults);
// The names accepted by applyFault, for help texts.
std::vector<std::string> faultNames();

// An empty string when the configuration can be played, else why not.
std::string validateConfig(const Config& config);

class VirtualReceiver {
  public:
    explicit VirtualReceiver(Config config);
    ~VirtualReceiver();  // stops the receiver
    VirtualReceiver(const VirtualReceiver&) = delete;
    VirtualReceiver& operator=(const VirtualReceiver&) = delete;

    // Opens the pseudo-terminal and starts the thread. False, with error(),
    // when the configuration is invalid or no pseudo-terminal can be had.
    bool start();
    // Stops the thread and closes the pseudo-terminal. Safe to call twice.
    void stop();
    const std::string& error() const { return error_; }
    const std::string& slavePath() const { return slavePath_; }
    const Config& config() const { return config_; }

    // What a correct capture of the screen shows (valid after start()).
    const Picture& expectedPicture() const { return expected_; }

    uint32_t currentRate() const;
    std::vector<LoggedPacket> packets() const;
    size_t packetCount() const;
    void clearLog();
    size_t screensSent() const;  // screen transfers sent to the end
    bool lineDropped() const;    // the drop-line fault closed the master

    // Wait until the condition holds (true) or the time-out passes (false).
    bool waitForPackets(size_t count, std::chrono::milliseconds timeout) const;
    bool waitForRate(uint32_t rate, std::chrono::milliseconds timeout) const;
    bool waitForScreens(size_t count, std::chrono::milliseconds timeout) const;

  private:
    struct Engine;
    friend struct Engine;

    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;
    void notifyChange();

    Config config_;
    Picture expected_;
    std::string error_;
    std::string slavePath_;
    std::unique_ptr<Engine> engine_;
    std::thread thread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<LoggedPacket> log_;
    uint32_t rate_ = 0;
    size_t screens_ = 0;
    bool dropped_ = false;
};

}  // namespace sim

using sim::VirtualReceiver;
