#include <gtest/gtest.h>

#include <algorithm>

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

struct Running {
    VirtualReceiver receiver;
    explicit Running(sim::Config config) : receiver(std::move(config)) {
        EXPECT_TRUE(receiver.start()) << receiver.error();
    }
};

// Everything the receiver sends for one screen request: the request is
// followed by a rate-list request, which the receiver takes up only after
// the whole screen, so its answer closes the transfer.
std::vector<Frame> requestScreen(ScriptedHost& host) {
    host.sendCommand(command::SendScreen);
    host.sendCommand(command::ListRates);
    std::vector<Frame> frames = host.readUntil(packet::RateList);
    if (!frames.empty()) {
        frames.pop_back();
    }
    return frames;
}

struct Reassembled {
    std::optional<ReferenceHeader> header;
    Bytes raw;
    Bytes palette;
    std::vector<uint32_t> pixelOffsets;
    size_t badChecksums = 0;
    size_t otherPackets = 0;
    size_t otherRecords = 0;
};

Reassembled reassemble(uint8_t format, const std::vector<Frame>& frames) {
    Reassembled r;
    for (const Frame& f : frames) {
        r.badChecksums += f.checksumOk ? 0 : 1;
        if (f.id != packet::ScreenRecord) {
            ++r.otherPackets;
            continue;
        }
        const auto type = referenceRecordType(format, f.payload);
        uint32_t offset = 0;
        Bytes data;
        if (type == 0u && !r.header) {
            r.header = referenceHeader(format, f.payload);
            if (r.header) {
                r.raw.assign(static_cast<size_t>(r.header->rowBytes) * r.header->rowCount, 0);
            }
        } else if (type == 1u && referenceChunk(format, f.payload, offset, data)) {
            r.pixelOffsets.push_back(offset);
            if (offset + data.size() <= r.raw.size()) {
                std::copy(data.begin(), data.end(), r.raw.begin() + offset);
            }
        } else if (type == 2u && referenceChunk(format, f.payload, offset, data)) {
            r.palette.insert(r.palette.end(), data.begin(), data.end());
        } else {
            ++r.otherRecords;
        }
    }
    return r;
}

// The picture as a host sees it, with as many downloaded colours as the
// receiver's picture has.
sim::Picture decode(const sim::Config& c, Reassembled r) {
    referencePostProcess(c.screen.postProcess, r.raw);
    sim::Picture p = referencePicture(c.screen.recordFormat, *r.header, r.raw);
    for (size_t i = 0; i < c.picture.palette.size() && 3 * i + 2 < r.palette.size(); ++i) {
        p.palette.push_back(sim::Rgb{r.palette[3 * i], r.palette[3 * i + 1], r.palette[3 * i + 2]});
    }
    return p;
}

TEST(VirtualReceiver, ProductReplyCarriesIdAndVersionWithStuffedBytes) {
    sim::Config c;
    c.productId = 0x0102;
    c.version = 0x0310;  // 7.84: a 10 03 in the payload, which must not end the frame
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    ASSERT_TRUE(host.isOpen());
    host.send(packet::ProductQuery, {0});
    const auto reply = host.readFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, packet::ProductReply);
    EXPECT_TRUE(reply->checksumOk);
    ASSERT_GE(reply->payload.size(), 4u);
    EXPECT_EQ(Bytes(reply->payload.begin(), reply->payload.begin() + 4), (Bytes{2, 1, 0x10, 3}));
    const std::vector<sim::LoggedPacket> log = sim.receiver.packets();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].id, packet::ProductQuery);
    EXPECT_EQ(log[0].payload, Bytes{0});
    EXPECT_EQ(log[0].lineRate, 9600u);
    EXPECT_TRUE(log[0].heard);
}

TEST(VirtualReceiver, RateListHoldsTheConfiguredRatesInOrder) {
    sim::Config c;
    c.rates = {57600, 4800, 115200};
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    host.sendCommand(command::ListRates);
    const auto list = host.readFrame();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->id, packet::RateList);
    Bytes expected = le32(57600);
    for (uint32_t r : {4800u, 115200u}) {
        const Bytes b = le32(r);
        expected.insert(expected.end(), b.begin(), b.end());
    }
    EXPECT_EQ(list->payload, expected);
}

TEST(VirtualReceiver, WithoutRateChangesTheLinkCheckStillGetsAnAnswer) {
    sim::Config c;
    c.rates.clear();
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    host.sendCommand(command::ListRates);
    const auto answer = host.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_NE(answer->id, packet::RateList);
    EXPECT_FALSE(answer->payload.empty());
    // Nor does it agree to a change.
    host.send(packet::RateChangeRequest, le32(57600));
    host.send(packet::ProductQuery, {0});
    EXPECT_EQ(host.readFrame()->id, packet::ProductReply);
}

TEST(VirtualReceiver, RateChangeAnswersAtTheOldRateThenListensOnlyAtTheNew) {
    Running sim(sim::Config{});
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::RateChangeRequest, le32(57600));
    const auto reply = host.readFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, packet::RateChangeReply);
    EXPECT_FALSE(reply->payload.empty());
    EXPECT_EQ(sim.receiver.currentRate(), 9600u) << "moves only after the acknowledgement";
    host.send(packet::Acknowledge, {packet::RateChangeReply, 0});
    ASSERT_TRUE(sim.receiver.waitForRate(57600, Patience));

    host.sendCommand(command::ListRates);  // still at 9600: not heard
    // The pseudo-terminal delivers late: let the request arrive before the
    // host's port moves on, as the line would have carried it by then.
    ASSERT_TRUE(sim.receiver.waitForPackets(3, Patience));
    host.setRate(57600);
    host.sendCommand(command::ConfirmRate);
    host.sendCommand(command::ConfirmRate);
    host.sendCommand(command::ListRates);
    const auto next = host.readFrame();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id, packet::RateList) << "the request at the old rate went unanswered";

    const std::vector<sim::LoggedPacket> log = sim.receiver.packets();
    ASSERT_EQ(log.size(), 6u);
    const struct {
        uint8_t id;
        uint8_t first;
        uint32_t rate;
        bool heard;
    } expected[] = {{packet::RateChangeRequest, 0x00, 9600, true},
                    {packet::Acknowledge, packet::RateChangeReply, 9600, true},
                    {packet::Command, command::ListRates, 9600, false},
                    {packet::Command, command::ConfirmRate, 57600, true},
                    {packet::Command, command::ConfirmRate, 57600, true},
                    {packet::Command, command::ListRates, 57600, true}};
    for (size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log[i].id, expected[i].id);
        EXPECT_EQ(log[i].payload[0], expected[i].first);
        EXPECT_EQ(log[i].lineRate, expected[i].rate);
        EXPECT_EQ(log[i].heard, expected[i].heard);
        EXPECT_TRUE(log[i].checksumOk);
    }
    EXPECT_TRUE(std::is_sorted(log.begin(), log.end(),
                               [](const auto& a, const auto& b) { return a.time < b.time; }));
}

TEST(VirtualReceiver, FollowsAHostThatMovesWithoutAcknowledging) {
    Running sim(sim::Config{});
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::RateChangeRequest, le32(19200));
    ASSERT_EQ(host.readFrame()->id, packet::RateChangeReply);
    host.setRate(19200);
    EXPECT_TRUE(sim.receiver.waitForRate(19200, Patience));
}

TEST(VirtualReceiver, RefusesARateItDoesNotOffer) {
    sim::Config c;
    c.rates = {9600, 57600};
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::RateChangeRequest, le32(38400));
    host.sendCommand(command::ListRates);
    EXPECT_EQ(host.readFrame()->id, packet::RateList) << "no change reply came first";
    EXPECT_EQ(sim.receiver.currentRate(), 9600u);
}

TEST(VirtualReceiver, StartedAtAFasterRateItIsDeafAt9600) {
    sim::Config c;
    c.initialRate = 57600;
    Running sim(c);
    EXPECT_EQ(sim.receiver.currentRate(), 57600u);
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::ProductQuery, {0});
    ASSERT_TRUE(sim.receiver.waitForPackets(1, Patience));
    host.setRate(57600);
    host.sendCommand(command::ListRates);
    EXPECT_EQ(host.readFrame()->id, packet::RateList) << "the query at 9600 went unanswered";
    const auto log = sim.receiver.packets();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].heard);
    EXPECT_TRUE(log[1].heard);
}

TEST(VirtualReceiver, EveryRecordLayoutCarriesAScreenThatDecodesToThePicture) {
    // One product of each record format and post-processing routine.
    for (uint16_t id : {95, 59, 48, 101, 113, 118, 111, 136, 158, 166, 144}) {
        SCOPED_TRACE(id);
        sim::Config c = sim::presetForProduct(id);
        c.chunkSize = 250;  // more than fits: clamped to each layout's room
        Running sim(c);
        ScriptedHost host(sim.receiver.slavePath());
        const std::vector<Frame> frames = requestScreen(host);
        ASSERT_FALSE(frames.empty());
        const Reassembled r = reassemble(c.screen.recordFormat, frames);
        ASSERT_TRUE(r.header);
        EXPECT_EQ(frames.front().payload,
                  sim::headerRecord(c.screen,
                                    {r.header->rowBytes, r.header->rowPixels, r.header->rowCount}));
        EXPECT_EQ(r.header->transposed, c.screen.transposed ? 1 : 0);
        EXPECT_EQ(r.header->forward, c.screen.forward ? 1 : 0);
        EXPECT_EQ(r.header->bitsPerPixel, c.screen.bitsPerPixel);
        EXPECT_EQ(r.header->rowPixels, c.screen.transposed ? c.picture.height : c.picture.width);
        EXPECT_EQ(r.header->rowCount, c.screen.transposed ? c.picture.width : c.picture.height);
        EXPECT_EQ(r.badChecksums + r.otherPackets + r.otherRecords, 0u);
        for (const Frame& f : frames) {
            EXPECT_LE(f.payload.size(), 255u);
        }
        // Chunks in order, the last one ending the raw picture.
        EXPECT_TRUE(std::is_sorted(r.pixelOffsets.begin(), r.pixelOffsets.end()));
        EXPECT_EQ(decode(c, r), c.picture);
        EXPECT_EQ(sim.receiver.expectedPicture(), c.picture);
        if (c.screen.recordFormat == 4) {
            ASSERT_EQ(r.palette.size(), 768u);
            for (size_t i = 0; i < c.picture.palette.size(); ++i) {
                const sim::Rgb& colour = c.picture.palette[i];
                EXPECT_EQ(Bytes(r.palette.begin() + 3 * i, r.palette.begin() + 3 * i + 3),
                          (Bytes{colour.blue, colour.green, colour.red}));
            }
        } else {
            EXPECT_TRUE(r.palette.empty());
        }
        EXPECT_TRUE(sim.receiver.waitForScreens(1, Patience));
    }
}

TEST(VirtualReceiver, ProductWithoutScreenCaptureIgnoresTheRequest) {
    Running sim(sim::presetForProduct(1));
    ScriptedHost host(sim.receiver.slavePath());
    EXPECT_TRUE(requestScreen(host).empty());
    EXPECT_EQ(sim.receiver.screensSent(), 0u);
}

// --- Faults ---------------------------------------------------------------

sim::Config withFault(const char* fault, uint16_t product = 95) {
    sim::Config c = sim::presetForProduct(product);
    EXPECT_TRUE(sim::applyFault(fault, c.faults)) << fault;
    return c;
}

TEST(ReceiverFaults, SilentReceiverHearsButNeverAnswers) {
    Running sim(withFault("silent"));
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::ProductQuery, {0});
    host.sendCommand(command::ListRates);
    host.sendCommand(command::SendScreen);
    ASSERT_TRUE(sim.receiver.waitForPackets(3, Patience));
    EXPECT_TRUE(host.staysQuiet());
    for (const auto& p : sim.receiver.packets()) {
        EXPECT_TRUE(p.heard);
    }
}

TEST(ReceiverFaults, SecondCheckIsTheFirstAnswered) {
    Running sim(withFault("second-check"));
    ScriptedHost host(sim.receiver.slavePath());
    host.sendCommand(command::ListRates);
    host.send(packet::ProductQuery, {0});
    EXPECT_EQ(host.readFrame()->id, packet::ProductReply) << "the first request went unanswered";
    host.sendCommand(command::ListRates);
    EXPECT_EQ(host.readFrame()->id, packet::RateList);
}

TEST(ReceiverFaults, NoProductReplyAndNoRateList) {
    Running sim(withFault("no-product"));
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::ProductQuery, {0});
    host.sendCommand(command::ListRates);
    EXPECT_EQ(host.readFrame()->id, packet::RateList) << "no product reply came first";

    Running noList(withFault("no-rates"));
    ScriptedHost other(noList.receiver.slavePath());
    other.sendCommand(command::ListRates);
    const auto answer = other.readFrame();
    ASSERT_TRUE(answer);
    EXPECT_NE(answer->id, packet::RateList);
    EXPECT_FALSE(answer->payload.empty());
}

TEST(ReceiverFaults, RefusedRateChangeGetsNoReply) {
    Running sim(withFault("refuse-rate"));
    ScriptedHost host(sim.receiver.slavePath());
    host.send(packet::RateChangeRequest, le32(57600));
    host.sendCommand(command::ListRates);
    EXPECT_EQ(host.readFrame()->id, packet::RateList);
    EXPECT_EQ(sim.receiver.currentRate(), 9600u);
}

TEST(ReceiverFaults, StopAfterHeaderSendsOnlyTheHeader) {
    Running sim(withFault("stop-after-header"));
    ScriptedHost host(sim.receiver.slavePath());
    const std::vector<Frame> frames = requestScreen(host);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(referenceRecordType(1, frames[0].payload), 0u);
    EXPECT_EQ(sim.receiver.screensSent(), 0u);
}

TEST(ReceiverFaults, ReversedChunksStillCoverThePicture) {
    sim::Config c = withFault("reverse", 101);
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    const Reassembled r = reassemble(2, requestScreen(host));
    ASSERT_GT(r.pixelOffsets.size(), 2u);
    EXPECT_TRUE(std::is_sorted(r.pixelOffsets.rbegin(), r.pixelOffsets.rend()));
    EXPECT_EQ(r.pixelOffsets.back(), 0u);
    EXPECT_EQ(decode(c, r), c.picture);
}

TEST(ReceiverFaults, BadChecksumOnlyOnTheChosenChunk) {
    Running sim(withFault("bad-checksum=2"));
    ScriptedHost host(sim.receiver.slavePath());
    const std::vector<Frame> frames = requestScreen(host);
    ASSERT_GT(frames.size(), 4u);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].checksumOk, i != 3) << i;  // header, then chunks 0, 1, 2
    }
}

TEST(ReceiverFaults, UnknownPacketsAndRecordTypesBetweenRecords) {
    sim::Config c = withFault("unknown-packets", 111);
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    const Reassembled r = reassemble(3, requestScreen(host));
    EXPECT_GE(r.otherPackets, 2u);
    EXPECT_GE(r.otherRecords, 2u);
    EXPECT_EQ(decode(c, r), c.picture);
}

TEST(ReceiverFaults, LastChunkRunsPastTheRawSize) {
    sim::Config c = withFault("past-end");
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    const std::vector<Frame> frames = requestScreen(host);
    const Reassembled r = reassemble(1, frames);
    uint32_t offset = 0;
    Bytes data;
    ASSERT_TRUE(referenceChunk(1, frames.back().payload, offset, data));
    EXPECT_EQ(offset + data.size(), r.raw.size() + 16);
}

TEST(ReceiverFaults, ShortRecordsAreShorterThanTheirFixedPart) {
    for (uint16_t product : {95, 101, 111}) {
        sim::Config c = withFault("short-records", product);
        const uint8_t format = c.screen.recordFormat;
        Running sim(c);
        ScriptedHost host(sim.receiver.slavePath());
        const std::vector<Frame> frames = requestScreen(host);
        const Reassembled r = reassemble(format, frames);
        size_t shortHeaders = 0, shortChunks = 0;
        for (const Frame& f : frames) {
            const auto type = referenceRecordType(format, f.payload);
            uint32_t offset;
            Bytes data;
            shortHeaders += type == 0u && !referenceHeader(format, f.payload);
            shortChunks += type == 1u && !referenceChunk(format, f.payload, offset, data);
        }
        EXPECT_EQ(shortHeaders, 1u) << product;
        EXPECT_EQ(shortChunks, 1u) << product;
        EXPECT_EQ(decode(c, r), c.picture) << product;
    }
}

TEST(ReceiverFaults, RaggedPaletteChunk) {
    Running sim(withFault("ragged-palette", 144));
    ScriptedHost host(sim.receiver.slavePath());
    const Reassembled r = reassemble(4, requestScreen(host));
    EXPECT_EQ(r.palette.size(), 769u);
}

TEST(ReceiverFaults, NoiseBetweenFramesLeavesFramesIntact) {
    sim::Config c = withFault("noise", 59);
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath());
    const Reassembled r = reassemble(1, requestScreen(host));
    EXPECT_GT(host.strayBytes(), 0u);
    EXPECT_EQ(r.badChecksums, 0u);
    EXPECT_EQ(decode(c, r), c.picture);
}

TEST(ReceiverFaults, LineDroppedHalfWayThroughThePixels) {
    Running sim(withFault("drop-line"));
    ScriptedHost host(sim.receiver.slavePath());
    host.sendCommand(command::SendScreen);
    size_t frames = 0;  // the receiver lets the host read what it sent before it drops
    while (host.readFrame()) {
        ++frames;
    }
    EXPECT_TRUE(host.hungUp());
    EXPECT_GT(frames, 1u) << host.strayBytes() << " stray; log " << sim.receiver.packetCount();
    EXPECT_TRUE(sim.receiver.lineDropped());
    EXPECT_EQ(sim.receiver.screensSent(), 0u);
}

TEST(ReceiverFaults, GapsAndPacingStillDeliverTheWholeScreen) {
    sim::Config c = withFault("gap=0.001", 95);
    c.pace = true;
    c.rates = {9600, 115200};
    c.initialRate = 115200;
    Running sim(c);
    ScriptedHost host(sim.receiver.slavePath(), 115200);
    const Reassembled r = reassemble(1, requestScreen(host));
    EXPECT_EQ(decode(c, r), c.picture);
}

TEST(VirtualReceiver, StopsCleanlyWhileBlockedOnAFullLine) {
    sim::Config c = sim::presetForProduct(144);  // ~100 kB: more than the line holds
    auto sim = std::make_unique<Running>(c);
    ScriptedHost host(sim->receiver.slavePath());
    host.sendCommand(command::SendScreen);
    ASSERT_TRUE(host.readFrame());
    sim->receiver.stop();  // must not hang on the full line
    sim->receiver.stop();
    while (host.readFrame()) {
    }
    EXPECT_TRUE(host.hungUp());
    EXPECT_EQ(sim->receiver.screensSent(), 0u);
}

}  // namespace
