#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <tuple>

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
            if (receiver.waitForScreens(screens + 1, Patience))
                host.write(listRates);
            else
                receiver.stop();  // a screen that never ends hangs up the line
        });
        std::vector<Frame> frames = host.readUntil(packet::RateList);
        closer.join();
        if (!frames.empty())
            frames.pop_back();
        return frames;
    }
};

// The screen records of one transfer, read straight from the record layouts
// as a host would, and what was odd about them.
struct Reassembled {
    bool header = false;  // the header of the receiver's geometry came
    Bytes raw;            // pixel chunks at their offsets, sized as the raw picture
    Bytes palette;
    std::vector<uint32_t> pixelOffsets;
    size_t pixelEnd = 0;               // the furthest byte a pixel chunk reached
    std::vector<size_t> badChecksums;  // frame indices
    size_t otherPackets = 0;
    size_t otherRecords = 0;  // of unknown type
    size_t shortRecords = 0;  // shorter than their fixed part
    bool intact = false;      // header, every raw byte and the 256 colours as encoded
};

uint32_t le(const Bytes& p, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;) v = v << 8 | p[at + i];
    return v;
}

Reassembled reassemble(const sim::Config& c, const std::vector<Frame>& frames) {
    const uint8_t format = c.screen.recordFormat;
    const size_t typeBytes = format == 1 ? 2 : format == 2 ? 1 : 4;
    const size_t headerBytes = format == 1 ? 18 : format == 2 ? 17 : 40;
    const size_t chunkFixed = typeBytes + 4;
    sim::EncodedScreen encoded;
    EXPECT_EQ(sim::encodeScreen(c.screen, c.picture, encoded), "");
    Reassembled r;
    r.raw.assign(encoded.raw.size(), 0);
    std::vector<bool> present(r.raw.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const Bytes& p = frames[i].payload;
        if (!frames[i].checksumOk)
            r.badChecksums.push_back(i);
        const uint32_t type = p.size() < typeBytes ? 99 : le(p, 0, typeBytes);
        if (frames[i].id != packet::ScreenRecord) {
            ++r.otherPackets;
        } else if (type > 2) {
            ++r.otherRecords;
        } else if (p.size() < (type == 0 ? headerBytes : chunkFixed)) {
            ++r.shortRecords;
        } else if (type == 0) {
            r.header = p == sim::headerRecord(c.screen, encoded.geometry);
        } else if (type == 2) {
            r.palette.insert(r.palette.end(), p.begin() + chunkFixed, p.end());
        } else {
            const uint32_t offset = le(p, typeBytes, 4);
            const size_t end = offset + p.size() - chunkFixed;
            r.pixelOffsets.push_back(offset);
            r.pixelEnd = std::max(r.pixelEnd, end);
            for (size_t at = offset; at < end && end <= r.raw.size(); ++at) {
                r.raw[at] = p[chunkFixed + at - offset];
                present[at] = true;
            }
        }
    }
    Bytes palette;  // blue, green, red; 256 entries in format 4, none otherwise
    for (const sim::Rgb& rgb : c.picture.palette)
        palette.insert(palette.end(), {rgb.blue, rgb.green, rgb.red});
    palette.resize(format == 4 ? 768 : 0);
    r.intact = r.header && r.raw == encoded.raw && r.palette.size() >= palette.size() &&
               std::equal(palette.begin(), palette.end(), r.palette.begin()) &&
               std::find(present.begin(), present.end(), false) == present.end();
    return r;
}

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
    for (const sim::LoggedPacket& p : log)
        seen.emplace_back(p.id, p.payload.at(0), p.lineRate, p.heard);
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
        for (const Bytes& request : c.requests) s.host.write(request);
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

using Post = sim::PostProcess;
sim::Screen makeScreen(uint8_t type, uint8_t format, uint8_t bpp, Post post = Post::None) {
    return {.screenType = type, .recordFormat = format, .postProcess = post, .bitsPerPixel = bpp};
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
        {"split of 2 bytes", makeScreen(2, 2, 4, Post::SplitEvenOddBytes), four},
        {"crop of a small screen", makeScreen(3, 4, 4, Post::CropWindowSwapNibbles), four},
        {"clear of a tiny screen", makeScreen(3, 4, 4, Post::ClearLast28Bytes), four},
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
// wrong, and the picture comes through where the fault leaves it whole. The
// chunks asked for are larger than fit: each layout clamps them to its room.
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
        {.fault = "unknown-packets", .product = 136, .unknownPackets = true},
        {.fault = "short-records", .product = 95, .shortRecords = 2},
        {.fault = "short-records", .product = 101, .shortRecords = 2},
        {.fault = "short-records", .product = 111, .shortRecords = 2},
        {.fault = "reverse", .product = 101, .reversed = true},
        {.fault = "past-end", .product = 95, .intact = false, .pastEnd = 16},
        {.fault = "ragged-palette", .product = 144, .extraPalette = 1},
        {.fault = "noise", .product = 59, .noise = true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fault << " " << c.product);
        sim::Config config = withFault(c.fault, c.product);
        config.chunkSize = 250;
        Session s(config);
        const Reassembled r = reassemble(config, s.requestScreen());
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
        EXPECT_EQ(r.intact, c.intact);
    }
}

// The request sent behind the screen's is logged unheard, as a receiver busy
// sending drops it; the one sent after the screen is heard.
TEST(ReceiverFaults, GapsAndPacingStillDeliverTheWholeScreenAndHearNothingMeanwhile) {
    sim::Config c = withFault("gap=0.001", 95);
    c.pace = true;  // three bytes a write at 9600 bit/s, so that some writes are of one byte
    c.picture = sim::makeTestPattern(sim::Pattern::Bars, 16, 8, 2);
    Session s(c);
    EXPECT_TRUE(reassemble(c, s.requestScreen()).intact);
    std::vector<std::pair<uint16_t, bool>> commands;
    for (const sim::LoggedPacket& p : s.receiver.packets())
        commands.emplace_back(sim::wire::getLe16(p.payload.data()), p.heard);
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
