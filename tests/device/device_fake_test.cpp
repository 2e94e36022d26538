// The device operations against a scripted line, on the manual tick source:
// exact tick budgets, time-outs and the packets sent, in microseconds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/device_query.h"
#include "link/packet_link.h"
#include "link/test_frames.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"
#include "support/test_support.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const Bytes kListCommand = frameOf(10, {0x39, 0x00});
const Bytes kConfirmCommand = frameOf(10, {0x3A, 0x00});
const Bytes kProductQuery = frameOf(254, {0x00});
const Bytes kAckList = frameOf(6, {0xFC, 0x00});
const Bytes kAckChange = frameOf(6, {0x31, 0x00});
const Bytes kOtherPacket = frameOf(0x33, {1, 2, 3});

Bytes productReply(uint16_t productId, uint16_t version) {
    Bytes payload = littleEndian(productId, 2);
    const Bytes v = littleEndian(version, 2);
    payload.insert(payload.end(), v.begin(), v.end());
    return frameOf(255, payload);
}

Bytes rateList(const std::vector<uint32_t>& rates) {
    Bytes payload;
    for (uint32_t r : rates) {
        const Bytes b = littleEndian(r, 4);
        payload.insert(payload.end(), b.begin(), b.end());
    }
    return frameOf(252, payload);
}

Bytes changeRequest(uint32_t rate) {
    return frameOf(48, littleEndian(rate, 4));
}

Bytes join(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

class DeviceFakeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        serialSetByteHandler(linkReceiveByte);
        linkSetOverflow(0);
        linkResetReceiver();
        ASSERT_EQ(serialOpen(1), 1);
        fake.device.calls.clear();
        fake.device.writes.clear();
    }
    void TearDown() override { EXPECT_FALSE(tickRunning()) << "the timer is stopped on exit"; }

    // Answers every write of `request` (from the `from`-th on) with `reply`.
    void answer(const Bytes& request, const Bytes& reply, int from = 1) {
        answers_.push_back({request, reply, from, 0});
        fake.device.onWrite = [this](const Bytes& written) {
            for (Answer& a : answers_) {
                if (written == a.request && ++a.seen >= a.from)
                    fake.device.feed(a.reply);
            }
        };
    }
    size_t sent(const Bytes& frame) const {
        return static_cast<size_t>(
            std::count(fake.device.writes.begin(), fake.device.writes.end(), frame));
    }

    ScopedSleepRecorder sleeps;
    ScopedManualTicks ticks;
    ScopedFakeSerial fake;

  private:
    struct Answer {
        Bytes request;
        Bytes reply;
        int from;
        int seen;
    };
    std::vector<Answer> answers_;
};

// --- Identification -------------------------------------------------------------

DeviceInfo sentinelInfo() {
    DeviceInfo info{};
    std::strcpy(info.name, "<Not Connected>");
    info.screenType = 9;
    info.recordFormat = 9;
    return info;
}

TEST_F(DeviceFakeTest, QueryCopiesTheLastCatalogueRowForId210) {
    answer(kProductQuery, productReply(210, 250));
    DeviceInfo info = sentinelInfo();
    char version[256] = "<Not Connected>";
    EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 0);
    const ProductRecord& row = ProductCatalogue[210];
    EXPECT_STREQ(info.name, row.name);
    EXPECT_EQ(info.screenType, row.screenType);
    EXPECT_EQ(info.recordFormat, row.recordFormat);
    EXPECT_EQ(info.palette, row.palette);
    EXPECT_EQ(info.postProcess, row.postProcess);
    EXPECT_STREQ(version, "2.50");
    EXPECT_EQ(fake.device.writes, std::vector<Bytes>{kProductQuery})
        << "sent once, not acknowledged";
}

TEST_F(DeviceFakeTest, QueryOfAnIdOutsideTheCatalogueWritesOnlyTheVersion) {
    for (uint16_t id : {211, 4000, 65535}) {
        answer(kProductQuery, productReply(id, 1234));
        DeviceInfo info = sentinelInfo();
        char version[256] = "<Not Connected>";
        EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 0) << id;
        EXPECT_STREQ(info.name, "<Not Connected>");
        EXPECT_EQ(info.screenType, 9);
        EXPECT_EQ(info.recordFormat, 9);
        EXPECT_STREQ(version, "12.34");
    }
}

TEST_F(DeviceFakeTest, QueryFormatsTheVersionWithTwoDecimals) {
    const std::pair<uint16_t, const char*> cases[] = {
        {0, "0.00"}, {5, "0.05"}, {250, "2.50"}, {1234, "12.34"}, {65535, "655.35"}};
    for (const auto& [raw, text] : cases) {
        answer(kProductQuery, productReply(0, raw));
        DeviceInfo info{};
        char version[256] = "";
        ASSERT_EQ(deviceQueryProduct(info, version, sizeof version), 0);
        EXPECT_STREQ(version, text) << raw;
        EXPECT_STREQ(info.name, "Invalid Device");
    }
}

TEST_F(DeviceFakeTest, QueryVersionTextIsCutToItsBuffer) {
    answer(kProductQuery, productReply(1, 65535));
    DeviceInfo info{};
    char version[8];
    std::memset(version, 'X', sizeof version);
    ASSERT_EQ(deviceQueryProduct(info, version, 4), 0);
    EXPECT_STREQ(version, "655");
    EXPECT_EQ(version[4], 'X') << "nothing written past the size given";
}

TEST_F(DeviceFakeTest, QueryWithoutAnswerEndsAfter400IdleTicksWithOrWithoutAPort) {
    for (bool withPort : {true, false}) {
        if (!withPort)
            serialClose();
        tickUseManualSource(true);
        DeviceInfo info = sentinelInfo();
        char version[256] = "<Not Connected>";
        EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 1);
        EXPECT_EQ(ticks.count(), 400u);
        EXPECT_STREQ(info.name, "<Not Connected>");
        EXPECT_STREQ(version, "<Not Connected>");
    }
    EXPECT_EQ(fake.device.writes.size(), 1u) << "nothing is sent without a port";
}

TEST_F(DeviceFakeTest, QueryCountsOnlyTicksWhosePollReadNothing) {
    // Noise on the first 100 ticks: those do not count towards the 400.
    tickSetManualHook([this](uint64_t tick) {
        if (tick <= 100)
            fake.device.feed({0x55});
    });
    DeviceInfo info{};
    char version[256] = "";
    EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 1);
    EXPECT_EQ(ticks.count(), 500u);
}

TEST_F(DeviceFakeTest, QueryFindsTheReplyAmongOtherPacketsAndTheLastReplyWins) {
    answer(kProductQuery, join(join(kOtherPacket, productReply(5, 100)),
                               join(frameOf(255, {}), productReply(7, 200))));
    DeviceInfo info{};
    char version[256] = "";
    EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 0);
    EXPECT_STREQ(info.name, ProductCatalogue[7].name);
    EXPECT_STREQ(version, "2.00");
    EXPECT_EQ(linkPacketWaiting(), 0);
}

TEST_F(DeviceFakeTest, AShortReplyReadsMissingBytesAsZero) {
    // A reply of one byte after a long packet: nothing of the long packet may
    // leak into the product ID or the version.
    answer(kProductQuery, join(frameOf(0x33, Bytes(200, 0x7F)), frameOf(255, {0x05})));
    DeviceInfo info{};
    char version[256] = "";
    EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 0);
    EXPECT_STREQ(info.name, ProductCatalogue[5].name);
    EXPECT_STREQ(version, "0.00");
}

// --- Link check -------------------------------------------------------------------

TEST_F(DeviceFakeTest, CheckLinkRepeatsAtTick40AndGivesUpAt50) {
    std::vector<uint64_t> sentAt;
    fake.device.onWrite = [&](const Bytes&) { sentAt.push_back(tickManualCount()); };
    EXPECT_EQ(deviceCheckLink(), 0);
    EXPECT_EQ(ticks.count(), 50u);
    EXPECT_THAT(fake.device.writes, ElementsAre(kListCommand, kListCommand));
    EXPECT_THAT(sentAt, ElementsAre(0u, 40u));

    serialClose();
    tickUseManualSource(true);
    EXPECT_EQ(deviceCheckLink(), 0) << "without a port";
    EXPECT_EQ(ticks.count(), 50u);
}

TEST_F(DeviceFakeTest, CheckLinkAnsweredAtTheSecondRequest) {
    answer(kListCommand, rateList({9600}), 2);
    EXPECT_EQ(deviceCheckLink(), 1);
    EXPECT_EQ(sent(kListCommand), 2u);
    EXPECT_EQ(ticks.count(), 41u);
    EXPECT_EQ(sent(kAckList), 0u) << "the reply is not acknowledged";
}

TEST_F(DeviceFakeTest, CheckLinkTakesAnyPacketWithAPayloadAndDrainsTheBurst) {
    // The burst comes in two reads: every packet of both is taken.
    const Bytes first = join(frameOf(252, {}), kOtherPacket);
    answer(kListCommand, join(join(first, rateList({9600})), kOtherPacket));
    fake.device.readLimit = static_cast<uint32_t>(first.size());
    EXPECT_EQ(deviceCheckLink(), 1);
    EXPECT_EQ(ticks.count(), 1u);
    EXPECT_TRUE(fake.device.input.empty());
    EXPECT_EQ(linkPacketWaiting(), 0);
    fake.device.readLimit = UINT32_MAX;
    fake.device.onWrite = nullptr;
    fake.device.feed(frameOf(252, {}));
    EXPECT_EQ(deviceCheckLink(), 0) << "an empty packet is no answer";
}

TEST_F(DeviceFakeTest, CheckLinkCountsALineErrorAsATickWithoutData) {
    fake.device.feed({0x55});
    fake.device.errorMasks.assign(60, lineerror::Frame);
    EXPECT_EQ(deviceCheckLink(), 0);
    EXPECT_EQ(ticks.count(), 50u);
    EXPECT_EQ(serialOtherError(), 1);
}

TEST_F(DeviceFakeTest, CheckLinkOnALineThatNeverFallsQuietStillEnds) {
    tickSetManualHook([this](uint64_t) { fake.device.feed({0x55, 0x66}); });
    EXPECT_EQ(deviceCheckLink(), 0);
    EXPECT_GE(ticks.count(), 50u);
    EXPECT_LE(ticks.count(), 2001u);
}

// --- Rate list --------------------------------------------------------------------

TEST_F(DeviceFakeTest, ListIsAcknowledgedAndSortedHighestFirst) {
    answer(kListCommand, rateList({19200, 115200, 9600, 57600, 38400}));
    uint32_t rates[kMaxRates] = {};
    int32_t count = -1;
    EXPECT_EQ(deviceListBaudRates(rates, count), 1);
    ASSERT_EQ(count, 5);
    EXPECT_THAT(std::vector<uint32_t>(rates, rates + count),
                ElementsAre(115200u, 57600u, 38400u, 19200u, 9600u));
    EXPECT_THAT(fake.device.writes, ElementsAre(kListCommand, kAckList));
}

TEST_F(DeviceFakeTest, ListArrivingBehindAnotherPacketInOneBurstIsTaken) {
    answer(kListCommand, join(kOtherPacket, rateList({9600, 19200})));
    uint32_t rates[kMaxRates] = {};
    int32_t count = 0;
    EXPECT_EQ(deviceListBaudRates(rates, count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ticks.count(), 1u);
}

TEST_F(DeviceFakeTest, ListPayloadOfTenBytesGivesTwoRates) {
    Bytes payload = join(littleEndian(9600, 4), littleEndian(19200, 4));
    payload.insert(payload.end(), {0xAA, 0xBB});
    answer(kListCommand, frameOf(252, payload));
    uint32_t rates[kMaxRates] = {};
    int32_t count = 0;
    EXPECT_EQ(deviceListBaudRates(rates, count), 1);
    EXPECT_THAT(std::vector<uint32_t>(rates, rates + count), ElementsAre(19200u, 9600u));
}

TEST_F(DeviceFakeTest, ALongListKeepsItsFirstSixteenRates) {
    std::vector<uint32_t> sentRates;
    for (uint32_t i = 0; i < 60; ++i) sentRates.push_back(1000 * (i + 1));  // 240 bytes
    answer(kListCommand, rateList(sentRates));
    struct {
        uint32_t rates[kMaxRates];
        uint32_t guard[4];
    } store;
    std::fill(std::begin(store.guard), std::end(store.guard), 0xCAFEF00D);
    int32_t count = 0;
    EXPECT_EQ(deviceListBaudRates(store.rates, count), 1);
    ASSERT_EQ(count, 16);
    std::vector<uint32_t> expected(sentRates.begin(), sentRates.begin() + 16);
    std::sort(expected.rbegin(), expected.rend());
    EXPECT_THAT(store.rates, ElementsAreArray(expected));
    EXPECT_THAT(store.guard, ::testing::Each(0xCAFEF00Du)) << "nothing stored past 16";
}

TEST_F(DeviceFakeTest, ListWithHugeValuesStillSortsHighestFirst) {
    answer(kListCommand, rateList({0x80000000u, 9600, 0xFFFFFFFFu, 115200, 0x7FFFFFFFu}));
    uint32_t rates[kMaxRates] = {};
    int32_t count = 0;
    EXPECT_EQ(deviceListBaudRates(rates, count), 1);
    EXPECT_THAT(std::vector<uint32_t>(rates, rates + count),
                ElementsAre(0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 115200u, 9600u));
}

TEST_F(DeviceFakeTest, NoListAfter50IdleTicks) {
    answer(kListCommand, kOtherPacket);
    uint32_t rates[kMaxRates] = {};
    int32_t count = -1;
    EXPECT_EQ(deviceListBaudRates(rates, count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(ticks.count(), 51u) << "the tick that brought the other packet is not idle";
    EXPECT_EQ(sent(kListCommand), 1u) << "not repeated";
}

// --- Rate change ------------------------------------------------------------------

TEST_F(DeviceFakeTest, AnAgreedChangeMovesThePortAndConfirmsTwice) {
    answer(changeRequest(57600), frameOf(49, {0x00}));
    EXPECT_EQ(deviceChangeBaudRate(57600), 1);
    EXPECT_THAT(fake.device.writes,
                ElementsAre(changeRequest(57600), kAckChange, kConfirmCommand, kConfirmCommand));
    EXPECT_EQ(serialBaudIndex(), 5);
    EXPECT_EQ(fake.device.rate, 57600u);
    EXPECT_THAT(sleeps.calls(), ElementsAre(2000u, 500u, 500u, 500u, 2000u));
}

TEST_F(DeviceFakeTest, TheChangeReplyIsFoundBehindAnotherPacket) {
    answer(changeRequest(38400), join(kOtherPacket, frameOf(49, {0x01})));
    EXPECT_EQ(deviceChangeBaudRate(38400), 1);
    EXPECT_EQ(serialBaudIndex(), 4);
}

TEST_F(DeviceFakeTest, ASilentDeviceLeavesThePortAlone) {
    EXPECT_EQ(deviceChangeBaudRate(115200), 0);
    EXPECT_EQ(ticks.count(), 50u);
    EXPECT_EQ(serialBaudIndex(), 2);
    EXPECT_THAT(fake.device.writes, ElementsAre(changeRequest(115200)));
    EXPECT_THAT(sleeps.calls(), ElementsAre(2000u));
}

TEST_F(DeviceFakeTest, TheRateIsSentAsGivenAndTheBandDecidesThePort) {
    answer(changeRequest(56000), frameOf(49, {0x00}));
    EXPECT_EQ(deviceChangeBaudRate(56000), 1);
    EXPECT_EQ(fake.device.rate, 57600u);
}

TEST_F(DeviceFakeTest, AnAgreedChangeToARejectedRateFailsButStillConfirms) {
    answer(changeRequest(30000), frameOf(49, {0x00}));
    EXPECT_EQ(deviceChangeBaudRate(30000), 0);
    EXPECT_EQ(serialBaudIndex(), 2);
    EXPECT_EQ(sent(kConfirmCommand), 2u);
}

// --- Desired rate -------------------------------------------------------------------

TEST_F(DeviceFakeTest, AChoiceEqualToThePortsRateSendsNothing) {
    uint8_t autoRate = 0;
    EXPECT_EQ(deviceSetDesiredBaudRate(2, autoRate), 1);
    autoRate = 2;
    EXPECT_EQ(deviceSetDesiredBaudRate(1, autoRate), 1);
    EXPECT_TRUE(fake.device.writes.empty());
    EXPECT_EQ(ticks.count(), 0u);
}

TEST_F(DeviceFakeTest, ChoicesOutsideOneToSixFail) {
    uint8_t autoRate = 0;
    serialClose();  // even where the port's index is 0
    for (uint8_t choice : {0, 7, 8, 255}) EXPECT_EQ(deviceSetDesiredBaudRate(choice, autoRate), 0);
    EXPECT_TRUE(fake.device.writes.empty());
    EXPECT_EQ(autoRate, 0);
}

TEST_F(DeviceFakeTest, NegotiationWithASilentDeviceLeavesTheAutoRate) {
    uint8_t autoRate = 6;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 0);
    EXPECT_EQ(autoRate, 6);
}

}  // namespace
