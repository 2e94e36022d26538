#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <tuple>

#include "reference_decoder.h"
#include "scripted_host.h"
#include "sim/screen_encoder.h"
#include "sim/virtual_receiver.h"

namespace {

namespace packet = sim::wire::packet;
namespace command = sim::wire::command;
using sim::wire::Frame;
using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr auto Patience = 10s;  // waiting for the receiver's thread, never a timing check

Bytes le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

Bytes commandFrame(uint16_t c) {
    return sim::wire::encodeFrame(packet::Command,
                                  {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
}

const Bytes productQuery = sim::wire::encodeFrame(packet::ProductQuery, {0});
const Bytes listRates = commandFrame(command::ListRates);
const Bytes sendScreen = commandFrame(command::SendScreen);

Bytes rateChange(uint32_t rate) {
    return sim::wire::encodeFrame(packet::RateChangeRequest, le32(rate));
}

// A started receiver and a host on its slave side.
struct Session {
    VirtualReceiver receiver;
    ScriptedHost host;

    explicit Session(sim::Config config, uint32_t hostRate = 9600)
        : receiver(std::move(config)), host(startedPath(receiver), hostRate) {
        EXPECT_TRUE(host.isOpen());
    }

    static std::string startedPath(VirtualReceiver& r) {
        EXPECT_TRUE(r.start()) << r.error();
        return r.slavePath();
    }

    // Everything the receiver sends for one screen request. A rate-list
    // request right behind it goes unheard; one sent once the screen is out
    // is answered, and its answer closes the transfer.
    std::vector<Frame> requestScreen() {
        const size_t screens = receiver.screensSent();
        Bytes requests = sendScreen;
        requests.insert(requests.end(), listRates.begin(), listRates.end());
        host.write(requests);
        std::thread closer([&] {
            if (receiver.waitForScreens(screens + 1, Patience)) {
                host.write(listRates);
            }
        });
        std::vector<Frame> frames = host.readUntil(packet::RateList);
        closer.join();
        if (!frames.empty()) {
            frames.pop_back();
        }
        return frames;
    }
};

sim::Config withFault(const char* fault, uint16_t product = 95) {
    sim::Config c = sim::presetForProduct(product);
    EXPECT_TRUE(sim::applyFault(fault, c.faults)) << fault;
    return c;
}

TEST(VirtualReceiver, AnswersTheQueriesWithItsProductAndRates) {
    sim::Config c;
    c.productId = 0x0102;
    c.version = 0x0310;  // 7.84: a 10 03 in the payload, which must not end the frame
    c.rates = {57600, 4800, 115200};
    Session s(c);
    s.host.write(productQuery);
    const auto reply = s.host.readFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, packet::ProductReply);
    ASSERT_GE(reply->payload.size(), 4u);
    EXPECT_EQ(Bytes(reply->payload.begin(), reply->payload.begin() + 4), (Bytes{2, 1, 0x10, 3}));

    s.host.write(listRates);
    const auto list = s.host.readFrame();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->id, packet::RateList);
    EXPECT_EQ(list->payload, (Bytes{0x00, 0xE1, 0, 0, 0xC0, 0x12, 0, 0, 0x00, 0xC2, 0x01, 0}));
}

TEST(VirtualReceiver, RateChangeAnswersAtTheOldRateThenListensOnlyAtTheNew) {
    Session s(sim::Config{});
    s.host.write(rateChange(57600));
    const auto reply = s.host.readFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, packet::RateChangeReply);
    EXPECT_FALSE(reply->payload.empty());
    EXPECT_EQ(s.receiver.currentRate(), 9600u) << "moves only after the acknowledgement";
    s.host.write(sim::wire::encodeFrame(packet::Acknowledge, {packet::RateChangeReply, 0}));
    ASSERT_TRUE(s.receiver.waitForRate(57600, Patience));

    s.host.write(listRates);  // still at 9600: not heard
    // The pseudo-terminal delivers late: let the request arrive before the
    // host's port moves on, as the line would have carried it by then.
    ASSERT_TRUE(s.receiver.waitForPackets(3, Patience));
    s.host.setRate(57600);
    s.host.write(commandFrame(command::ConfirmRate));
    s.host.write(commandFrame(command::ConfirmRate));
    s.host.write(listRates);
    const auto next = s.host.readFrame();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id, packet::RateList) << "the request at the old rate went unanswered";

    // ID, first payload byte, line rate, heard.
    using Entry = std::tuple<uint8_t, uint8_t, uint32_t, bool>;
    std::vector<Entry> seen;
    const std::vector<sim::LoggedPacket> log = s.receiver.packets();
    for (const sim::LoggedPacket& p : log) {
        seen.emplace_back(p.id, p.payload.at(0), p.lineRate, p.heard);
    }
    EXPECT_EQ(seen, (std::vector<Entry>{{packet::RateChangeRequest, 0x00, 9600, true},
                                        {packet::Acknowledge, packet::RateChangeReply, 9600, true},
                                        {packet::Command, command::ListRates, 9600, false},
                                        {packet::Command, command::ConfirmRate, 57600, true},
                                        {packet::Command, command::ConfirmRate, 57600, true},
                                        {packet::Command, command::ListRates, 57600, true}}));
    EXPECT_TRUE(std::is_sorted(log.begin(), log.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
}

TEST(VirtualReceiver, FollowsAHostThatMovesWithoutAcknowledging) {
    Session s(sim::Config{});
    s.host.write(rateChange(19200));
    ASSERT_EQ(s.host.readFrame()->id, packet::RateChangeReply);
    s.host.setRate(19200);
    EXPECT_TRUE(s.receiver.waitForRate(19200, Patience));
}

// Requests that a receiver so configured leaves unanswered, or answers with
// something else, seen through the answers to the requests behind them.
TEST(VirtualReceiver, RequestsItIgnoresOrAnswersOtherwise) {
    constexpr uint8_t NotTheRateList = 0;  // any non-empty packet but the rate list
    sim::Config offersNoChange, offersTwo;
    offersNoChange.rates.clear();
    offersTwo.rates = {9600, 57600};
    // clang-format off
    const struct {
        const char* what;
        sim::Config config;
        std::vector<Bytes> requests;
        std::vector<uint8_t> answers;
    } cases[] = {
        {"second check", withFault("second-check"), {listRates, productQuery, listRates},
         {packet::ProductReply, packet::RateList}},
        {"no product", withFault("no-product"), {productQuery, listRates}, {packet::RateList}},
        {"refused", withFault("refuse-rate"), {rateChange(57600), listRates}, {packet::RateList}},
        {"rate not offered", offersTwo, {rateChange(38400), listRates}, {packet::RateList}},
        {"no rate list", withFault("no-rates"), {listRates}, {NotTheRateList}},
        {"no rate changes", offersNoChange, {listRates, rateChange(57600), productQuery},
         {NotTheRateList, packet::ProductReply}},
        {"no screen", sim::presetForProduct(1), {sendScreen, listRates}, {packet::RateList}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session s(c.config);
        for (const Bytes& request : c.requests) {
            s.host.write(request);
        }
        for (uint8_t id : c.answers) {
            const auto answer = s.host.readFrame();
            ASSERT_TRUE(answer);
            if (id == NotTheRateList) {
                EXPECT_NE(answer->id, packet::RateList);
                EXPECT_FALSE(answer->payload.empty());
            } else {
                EXPECT_EQ(answer->id, id);
            }
        }
        EXPECT_EQ(s.receiver.currentRate(), 9600u);
        EXPECT_EQ(s.receiver.screensSent(), 0u);
    }
}

sim::Screen makeScreen(uint8_t type, uint8_t format, uint8_t bpp,
                       sim::PostProcess post = sim::PostProcess::None) {
    sim::Screen s;
    s.screenType = type;
    s.recordFormat = format;
    s.bitsPerPixel = bpp;
    s.postProcess = post;
    if (format == 3) {
        for (int v = 0; v < 16; ++v) {
            s.valueMap[v] = static_cast<uint8_t>((v * 5 + 9) & 15);
        }
    }
    return s;
}

// A picture in colours that the screen reaches through its raw values, with
// a palette when the device sends one.
sim::Picture makePicture(const sim::Screen& s, int width, int height) {
    const int rawValues = std::min(1 << s.bitsPerPixel, s.recordFormat == 3 ? 16 : 256);
    const int colours = std::min(sim::screenColours(s.screenType), rawValues);
    sim::Picture p = sim::makeTestPattern(sim::Pattern::Noise, width, height, colours);
    for (uint8_t& index : p.pixels) {
        index = s.recordFormat == 3 ? s.valueMap[index] : index;
    }
    for (int i = 0; s.recordFormat == 4 && i < colours; ++i) {
        p.palette.push_back(sim::Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                     static_cast<uint8_t>(i * 3)});
    }
    return p;
}

struct Kind {
    uint8_t type;
    uint8_t format;
    uint8_t bpp;
    sim::PostProcess post;
    int rowPixels;
    int rowCount;
    size_t blankedBytes;  // raw bytes the routine sets to 0
};

// Every screen type, record format and routine, at sizes that leave padding
// bits and odd row lengths.
const Kind kinds[] = {
    {1, 1, 1, sim::PostProcess::ReverseBitOrder, 37, 21, 0},
    {1, 2, 2, sim::PostProcess::None, 13, 7, 0},
    {2, 1, 2, sim::PostProcess::None, 22, 15, 0},
    {2, 2, 2, sim::PostProcess::SplitEvenOddBytes, 32, 12, 0},
    {2, 2, 4, sim::PostProcess::None, 9, 5, 0},
    {3, 1, 4, sim::PostProcess::None, 11, 6, 0},
    {3, 3, 4, sim::PostProcess::None, 31, 17, 0},
    {3, 3, 2, sim::PostProcess::None, 10, 10, 0},
    {3, 4, 4, sim::PostProcess::ClearLast28Bytes, 24, 20, 28},
    {3, 4, 8, sim::PostProcess::ClearLast28Bytes, 9, 7, 28},
    {3, 4, 4, sim::PostProcess::CropWindowSwapNibbles, 408, 256, 256 * 204 - 234 * 160},
    {4, 4, 8, sim::PostProcess::None, 17, 29, 0},
    {4, 3, 4, sim::PostProcess::None, 8, 8, 0},
};

// The header fields are read by the reference decoder, so a wrong field
// shows as a wrong picture.
TEST(VirtualReceiver, EveryKindOfScreenInEveryOrientationDecodesBackToThePicture) {
    for (const Kind& k : kinds) {
        for (int orientation = 0; orientation < 4; ++orientation) {
            for (int padding : {0, 3}) {
                sim::Config c;
                c.screen = makeScreen(k.type, k.format, k.bpp, k.post);
                c.screen.transposed = orientation & 1;
                c.screen.forward = orientation & 2;
                c.screen.rowPadding = padding;
                c.picture = c.screen.transposed ? makePicture(c.screen, k.rowCount, k.rowPixels)
                                                : makePicture(c.screen, k.rowPixels, k.rowCount);
                c.chunkSize = 250;  // more than fits: clamped to each layout's room
                // These routines fix the raw layout, which some paddings break.
                const bool fixedLayout = k.post == sim::PostProcess::SplitEvenOddBytes ||
                                         k.post == sim::PostProcess::CropWindowSwapNibbles;
                if (padding > 0 && fixedLayout && !sim::validateConfig(c).empty()) {
                    continue;
                }
                SCOPED_TRACE(testing::Message()
                             << "type " << int(k.type) << " format " << int(k.format) << " routine "
                             << int(k.post) << " orientation " << orientation << " padding "
                             << padding);
                Session s(c);
                const Reassembled r = reassemble(k.format, s.requestScreen());
                ASSERT_TRUE(r.header);
                EXPECT_TRUE(r.badChecksums.empty());
                EXPECT_EQ(r.otherPackets + r.otherRecords + r.shortRecords, 0u);
                EXPECT_EQ(r.pixelEnd, r.raw.size());
                EXPECT_EQ(r.palette.size(), k.format == 4 ? 768u : 0u);
                const sim::Picture& expected = s.receiver.expectedPicture();
                EXPECT_EQ(decode(c, r), expected);
                // Only what the routine blanks may differ from the source.
                const uint8_t blank = k.format == 3 ? c.screen.valueMap[0] : 0;
                size_t differing = 0;
                for (size_t i = 0; i < c.picture.pixels.size(); ++i) {
                    if (expected.pixels[i] != c.picture.pixels[i]) {
                        ASSERT_EQ(expected.pixels[i], blank) << i;
                        ++differing;
                    }
                }
                EXPECT_LE(differing, k.blankedBytes * 8 / k.bpp);
            }
        }
    }
}

// What a user can ask of the tool that it cannot play.
TEST(ReceiverConfig, RefusesWhatCannotBePlayed) {
    const sim::Picture four{4, 1, {0, 1, 2, 3}, {}};
    const struct {
        const char* what;
        sim::Screen screen;
        sim::Picture picture;
    } screens[] = {
        {"colour beyond a mono screen", makeScreen(1, 1, 1), four},
        {"split of 2 bytes", makeScreen(2, 2, 4, sim::PostProcess::SplitEvenOddBytes), four},
        {"crop of a small screen", makeScreen(3, 4, 4, sim::PostProcess::CropWindowSwapNibbles),
         four},
        {"clear of a tiny screen", makeScreen(3, 4, 4, sim::PostProcess::ClearLast28Bytes), four},
        {"too wide", makeScreen(1, 1, 1), sim::Picture{5000, 1, Bytes(5000, 0), {}}},
    };
    for (const auto& bad : screens) {
        sim::Config c;
        c.screen = bad.screen;
        c.picture = bad.picture;
        EXPECT_NE(sim::validateConfig(c), "") << bad.what;
    }
    sim::Config tooManyRates, zeroRate;
    tooManyRates.rates.assign(64, 9600);
    zeroRate.rates = {9600, 0};
    EXPECT_NE(sim::validateConfig(zeroRate), "");
    VirtualReceiver receiver(tooManyRates);
    EXPECT_FALSE(receiver.start());
    EXPECT_NE(receiver.error(), "");
}

// A screen transfer under each fault: the fault shows, nothing else goes
// wrong, and the picture comes through where the fault leaves it whole.
TEST(ReceiverFaults, ScreenTransfersShowTheirFaultAndNoOther) {
    const struct {
        const char* fault;
        uint16_t product;
        bool intact = true;
        std::vector<size_t> badChecksums = {};
        bool unknownPackets = false;
        size_t shortRecords = 0;
        bool reversed = false;
        size_t pastEnd = 0;
        size_t extraPalette = 0;
        bool noise = false;
    } cases[] = {
        {.fault = "bad-checksum=2", .product = 95, .badChecksums = {3}},  // header, chunks 0, 1, 2
        {.fault = "unknown-packets", .product = 111, .unknownPackets = true},
        {.fault = "short-records", .product = 95, .shortRecords = 2},
        {.fault = "short-records", .product = 101, .shortRecords = 2},
        {.fault = "short-records", .product = 111, .shortRecords = 2},
        {.fault = "reverse", .product = 101, .reversed = true},
        {.fault = "past-end", .product = 95, .intact = false, .pastEnd = 16},
        {.fault = "ragged-palette", .product = 144, .intact = false, .extraPalette = 1},
        {.fault = "noise", .product = 59, .noise = true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fault << " " << c.product);
        const sim::Config config = withFault(c.fault, c.product);
        Session s(config);
        const Reassembled r = reassemble(config.screen.recordFormat, s.requestScreen());
        EXPECT_EQ(r.badChecksums, c.badChecksums);
        EXPECT_EQ(r.otherPackets >= 2 && r.otherRecords >= 2, c.unknownPackets);
        EXPECT_EQ(r.shortRecords, c.shortRecords);
        ASSERT_GT(r.pixelOffsets.size(), 2u);
        EXPECT_EQ(r.pixelOffsets.front() > r.pixelOffsets.back(), c.reversed);
        const auto& offsets = r.pixelOffsets;
        EXPECT_TRUE(c.reversed ? std::is_sorted(offsets.rbegin(), offsets.rend())
                               : std::is_sorted(offsets.begin(), offsets.end()));
        EXPECT_EQ(r.pixelEnd, r.raw.size() + c.pastEnd);
        EXPECT_EQ(r.palette.size(), config.screen.recordFormat == 4 ? 768 + c.extraPalette : 0);
        EXPECT_EQ(s.host.strayBytes() > 0, c.noise);
        if (c.intact) {
            EXPECT_EQ(decode(config, r), config.picture);
        }
    }
}

// The request sent behind the screen's is logged unheard, as a receiver busy
// sending drops it; the one sent after the screen is heard.
TEST(ReceiverFaults, GapsAndPacingStillDeliverTheWholeScreenAndHearNothingMeanwhile) {
    sim::Config c = withFault("gap=0.001", 95);
    c.pace = true;
    c.rates = {9600, 115200};
    c.initialRate = 115200;
    Session s(c, 115200);
    EXPECT_EQ(decode(c, reassemble(1, s.requestScreen())), c.picture);
    std::vector<std::pair<uint16_t, bool>> commands;
    for (const sim::LoggedPacket& p : s.receiver.packets()) {
        commands.emplace_back(sim::wire::getLe16(p.payload.data()), p.heard);
    }
    EXPECT_EQ(commands, (std::vector<std::pair<uint16_t, bool>>{{command::SendScreen, true},
                                                                {command::ListRates, false},
                                                                {command::ListRates, true}}));
}

TEST(VirtualReceiver, StopsCleanlyWhileBlockedOnAFullLine) {
    Session s(sim::presetForProduct(144));  // ~100 kB: more than the line holds
    s.host.write(sendScreen);
    ASSERT_TRUE(s.host.readFrame());
    s.receiver.stop();  // must not hang on the full line
    s.receiver.stop();
    while (s.host.readFrame()) {
    }
    EXPECT_TRUE(s.host.hungUp());
    EXPECT_EQ(s.receiver.screensSent(), 0u);
}

}  // namespace
