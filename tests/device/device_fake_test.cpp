// The device operations against a scripted line, on the manual tick source:
// exact tick budgets, time-outs and the packets sent, in microseconds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/device_query.h"
#include "link/packet_link.h"
#include "link/test_frames.h"
#include "platform/stop_request.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"
#include "support/test_support.h"

using ::testing::ElementsAre;

namespace {

const Bytes kListCommand = frameOf(10, {0x39, 0x00});
const Bytes kConfirmCommand = frameOf(10, {0x3A, 0x00});
const Bytes kProductQuery = frameOf(254, {0x00});
const Bytes kAckList = frameOf(6, {0xFC, 0x00});
const Bytes kAckChange = frameOf(6, {0x31, 0x00});
const Bytes kOtherPacket = frameOf(0x33, {1, 2, 3});
const Bytes kChangeAgreed = frameOf(49, {0x00});

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes productReply(uint16_t productId, uint16_t version) {
    Bytes payload;
    sim::wire::putLe16(payload, productId);
    sim::wire::putLe16(payload, version);
    return frameOf(255, payload);
}

Bytes ratePayload(const std::vector<uint32_t>& rates) {
    Bytes payload;
    for (uint32_t rate : rates) sim::wire::putLe32(payload, rate);
    return payload;
}

Bytes changeRequest(uint32_t rate) {
    return frameOf(48, ratePayload({rate}));
}

struct Query {
    uint8_t result;
    DeviceInfo info;
    std::string version;
};

// A query with the record and the text preset as the main window does.
Query query() {
    Query q{0, {}, ""};
    std::strcpy(q.info.name, "<Not Connected>");
    q.info.screenType = 9;
    q.info.recordFormat = 9;
    char version[256] = "<Not Connected>";
    q.result = deviceQueryProduct(q.info, version, sizeof version);
    q.version = version;
    return q;
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
        fake.device.onWrite = [this](const Bytes& written) {
            sentAt.emplace_back(written, tickManualCount());
            for (Answer& a : answers_) {
                if (written == a.request && ++a.seen >= a.from)
                    fake.device.feed(a.reply);
            }
        };
    }
    void TearDown() override { EXPECT_FALSE(tickRunning()) << "the timer is stopped on exit"; }

    // Answers every write of `request` (from the `from`-th on) with `reply`,
    // instead of what it was answered with before.
    void answer(const Bytes& request, const Bytes& reply, int from = 1) {
        std::erase_if(answers_, [&](const Answer& a) { return a.request == request; });
        answers_.push_back({request, reply, from, 0});
    }
    size_t sent(const Bytes& frame) const {
        return static_cast<size_t>(
            std::count(fake.device.writes.begin(), fake.device.writes.end(), frame));
    }
    // A fresh manual tick count and record of writes for the next operation.
    void fresh() {
        tickUseManualSource(true);
        fake.device.writes.clear();
        sentAt.clear();
    }
    int32_t listRates() { return deviceListBaudRates(rates, count); }

    ScopedSleepRecorder sleeps;
    ScopedManualTicks ticks;
    ScopedFakeSerial fake;
    // Each write and the tick it went out at, while the answers are scripted.
    std::vector<std::pair<Bytes, uint64_t>> sentAt;
    uint32_t rates[kMaxRates] = {};
    int32_t count = -1;

  private:
    struct Answer {
        Bytes request, reply;
        int from, seen;
    };
    std::vector<Answer> answers_;
};

// Each wait gives up after its budget of ticks whose poll read nothing, and
// the link check asks again at tick 40. Without a port the waits are as long
// and nothing is sent.
TEST_F(DeviceFakeTest, ASilentDeviceIsGivenUpOnAfterTheIdleTicksOfEachWait) {
    const struct {
        const char* what;
        Bytes request, reply;
        std::function<int32_t()> operation;
        int32_t unanswered;
        uint64_t ticks, portlessTicks;
        std::vector<std::pair<Bytes, uint64_t>> sent;
    } rows[] = {
        // clang-format off
        {"product query", kProductQuery, {}, [] {
             const Query q = query();
             EXPECT_STREQ(q.info.name, "<Not Connected>");
             EXPECT_EQ(q.version, "<Not Connected>");
             return int32_t{q.result};
         }, 1, 400, 400, {{kProductQuery, 0}}},
        {"link check", kListCommand, {}, [] { return deviceCheckLink(); }, 0, 50, 50,
         {{kListCommand, 0}, {kListCommand, 40}}},
        // The tick that brought the other packet is not idle; the request is
        // not repeated.
        {"rate list", kListCommand, kOtherPacket, [this] { return listRates(); }, 0, 51, 50,
         {{kListCommand, 0}}},
        {"rate change", {}, {}, [] { return deviceChangeBaudRate(115200); }, 0, 50, 50,
         {{changeRequest(115200), 0}}},
        // clang-format on
    };
    for (const bool port : {true, false}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << row.what << (port ? "" : " without a port"));
            fresh();
            answer(row.request, row.reply);
            EXPECT_EQ(row.operation(), row.unanswered);
            EXPECT_EQ(ticks.count(), port ? row.ticks : row.portlessTicks);
            EXPECT_EQ(sentAt, port ? row.sent : decltype(sentAt){});
        }
        EXPECT_EQ(count, 0);
        EXPECT_EQ(serialBaudIndex(), port ? 2 : 0) << "the rate is left alone";
        serialClose();
    }
    EXPECT_EQ(std::count(sleeps.calls().begin(), sleeps.calls().end(), 2000u), 2)
        << "the pause before each change, and none of a change made";

    // Noise on the first 100 ticks: these ticks are not idle.
    ASSERT_EQ(serialOpen(1), 1);
    fresh();
    tickSetManualHook([this](uint64_t tick) {
        if (tick <= 100)
            fake.device.feed({0x55});
    });
    EXPECT_EQ(query().result, 1);
    EXPECT_EQ(ticks.count(), 500u);
}

// --- Identification -------------------------------------------------------------

TEST_F(DeviceFakeTest, QueryCopiesRowsBelow211AndAlwaysWritesTheVersion) {
    struct Case {
        uint16_t id, version;
        const char* text;
    };
    const Case cases[] = {{210, 250, "2.50"},   {0, 0, "0.00"},          {166, 5, "0.05"},
                          {211, 1234, "12.34"}, {4000, 65535, "655.35"}, {65535, 1, "0.01"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        fake.device.writes.clear();
        answer(kProductQuery, productReply(c.id, c.version));
        const Query q = query();
        EXPECT_EQ(q.result, 0);
        EXPECT_EQ(q.version, c.text);
        const ProductRecord* row = c.id < 211 ? &ProductCatalogue[c.id] : nullptr;
        EXPECT_STREQ(q.info.name, row ? row->name : "<Not Connected>");
        EXPECT_EQ(q.info.screenType, row ? row->screenType : 9);
        EXPECT_EQ(q.info.recordFormat, row ? row->recordFormat : 9);
        EXPECT_EQ(q.info.palette, row ? row->palette : nullptr);
        EXPECT_EQ(q.info.postProcess, row ? row->postProcess : PostProcess::None);
        EXPECT_EQ(fake.device.writes, std::vector<Bytes>{kProductQuery}) << "once, no ack";
    }
}

TEST_F(DeviceFakeTest, QueryTakesEveryPacketAndStaysInsideItsBuffers) {
    answer(kProductQuery, join({kOtherPacket, productReply(5, 100), frameOf(255, {}),
                                productReply(7, 200), kOtherPacket}));
    Query q = query();
    EXPECT_STREQ(q.info.name, ProductCatalogue[7].name);
    EXPECT_EQ(q.version, "2.00");
    EXPECT_EQ(linkPacketWaiting(), 0);
    // A one-byte reply behind a long packet: nothing of the long one leaks in.
    answer(kProductQuery, join({frameOf(0x33, Bytes(200, 0x7F)), frameOf(255, {0x05})}));
    q = query();
    EXPECT_STREQ(q.info.name, ProductCatalogue[5].name);
    EXPECT_EQ(q.version, "0.00");

    answer(kProductQuery, productReply(1, 65535));
    DeviceInfo info{};
    char version[8];
    std::memset(version, 'X', sizeof version);
    ASSERT_EQ(deviceQueryProduct(info, version, 4), 0);
    EXPECT_STREQ(version, "655");
    EXPECT_EQ(version[4], 'X') << "nothing written past the size given";
}

// --- Link check -------------------------------------------------------------------

TEST_F(DeviceFakeTest, CheckLinkAnsweredAtTheSecondRequestTakesTheWholeBurst) {
    // The burst comes in two reads: every packet of both is taken, and any
    // packet with a payload answers; the reply is not acknowledged.
    const Bytes first = join({frameOf(252, {}), kOtherPacket});
    answer(kListCommand, join({first, frameOf(252, ratePayload({9600})), kOtherPacket}), 2);
    fake.device.readLimit = static_cast<uint32_t>(first.size());
    EXPECT_EQ(deviceCheckLink(), 1);
    EXPECT_EQ(ticks.count(), 41u);
    EXPECT_THAT(fake.device.writes, ElementsAre(kListCommand, kListCommand));
    EXPECT_TRUE(fake.device.input.empty());
    EXPECT_EQ(linkPacketWaiting(), 0);

    answer(kListCommand, frameOf(252, {}));
    EXPECT_EQ(deviceCheckLink(), 0) << "an empty packet is no answer";
}

TEST_F(DeviceFakeTest, CheckLinkEndsOnLineErrorsAndOnALineThatNeverFallsQuiet) {
    fake.device.feed({0x55});
    fake.device.errorMasks.assign(60, lineerror::Frame);
    EXPECT_EQ(deviceCheckLink(), 0);
    EXPECT_EQ(ticks.count(), 50u) << "a line error counts as a tick without data";
    EXPECT_EQ(serialOtherError(), 1);

    fresh();
    tickSetManualHook([this](uint64_t) { fake.device.feed({0x55, 0x66}); });
    EXPECT_EQ(deviceCheckLink(), 0);
    EXPECT_GE(ticks.count(), 50u);
    EXPECT_LE(ticks.count(), 2001u);

    // Screen records that never stop: waited for 3 minutes, or until a stop
    // request, and the request is not sent again.
    for (const uint64_t stopAt : {0, 3000}) {
        fresh();
        tickSetManualHook([&](uint64_t tick) {
            fake.device.feed(frameOf(69, {0, 1, 2}));
            if (tick == stopAt)
                stopRequest();
        });
        EXPECT_EQ(deviceCheckLink(), 0);
        EXPECT_EQ(ticks.count(), stopAt ? stopAt : 36000u);
        EXPECT_EQ(sent(kListCommand), 1u);
        stopClear();
    }
}

// Probing checks at the port's rate, then at every rate from 9600 up, and
// stays at the first that answers.
TEST_F(DeviceFakeTest, ProbingStaysAtTheFirstRateThatAnswers) {
    std::vector<uint32_t> tried;
    fake.device.onWrite = [&](const Bytes&) {
        if (tried.empty() || tried.back() != fake.device.rate)
            tried.push_back(fake.device.rate);
        if (fake.device.rate == 38400)
            fake.device.feed(frameOf(252, ratePayload({38400})));
    };
    EXPECT_EQ(deviceProbeBaudRates(), 1);
    EXPECT_EQ(serialBaudIndex(), 4);
    EXPECT_THAT(tried, ElementsAre(9600u, 19200u, 38400u));
    EXPECT_EQ(sent(kListCommand), 7u) << "twice at each silent rate, the port's own included";
    EXPECT_THAT(sleeps.calls(), ElementsAre(500u, 500u, 500u));
}

TEST_F(DeviceFakeTest, ListIsTakenBehindAnotherPacketAcknowledgedAndSortedHighestFirst) {
    std::vector<uint32_t> sixty(60);  // 240 bytes: only the first 16 rates are kept
    std::iota(sixty.begin(), sixty.end(), 1000);
    const std::pair<Bytes, std::vector<uint32_t>> cases[] = {
        {ratePayload({19200, 115200, 9600, 57600, 38400}), {115200, 57600, 38400, 19200, 9600}},
        {join({ratePayload({9600, 19200}), {0xAA, 0xBB}}), {19200, 9600}},
        {ratePayload({0x80000000u, 9600, 0xFFFFFFFFu, 115200, 0x7FFFFFFFu}),
         {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 115200, 9600}},
        {ratePayload(sixty), std::vector<uint32_t>(sixty.rend() - 16, sixty.rend())},
    };
    for (const auto& [payload, sorted] : cases) {
        fresh();
        // One burst: a pass that took only the first packet would miss the list.
        answer(kListCommand, join({kOtherPacket, frameOf(252, payload)}));
        EXPECT_EQ(listRates(), 1);
        EXPECT_EQ(std::vector<uint32_t>(rates, rates + count), sorted);
        EXPECT_EQ(ticks.count(), 1u);
        EXPECT_THAT(fake.device.writes, ElementsAre(kListCommand, kAckList));
    }
}

TEST_F(DeviceFakeTest, AnAgreedChangeMovesThePortToTheBandAndConfirmsTwice) {
    // The reply comes in one burst behind another packet; the rate goes out as given.
    answer(changeRequest(56000), join({kOtherPacket, kChangeAgreed}));
    EXPECT_EQ(deviceChangeBaudRate(56000), 1);
    EXPECT_EQ(ticks.count(), 1u);
    EXPECT_THAT(fake.device.writes,
                ElementsAre(changeRequest(56000), kAckChange, kConfirmCommand, kConfirmCommand));
    EXPECT_EQ(serialBaudIndex(), 5);
    EXPECT_EQ(fake.device.rate, 57600u);
    EXPECT_THAT(sleeps.calls(), ElementsAre(2000u, 500u, 500u, 500u, 2000u));

    fresh();
    answer(changeRequest(30000), kChangeAgreed);
    EXPECT_EQ(deviceChangeBaudRate(30000), 0) << "agreed, but the port has no such rate";
    EXPECT_EQ(sent(kConfirmCommand), 2u);
    EXPECT_EQ(serialBaudIndex(), 5);
}

// --- Negotiation ------------------------------------------------------------------

// A receiver that lists `rates` (none: it answers the request with another
// packet) and agrees to every change unless it `refuses`; the list and the
// reply each come behind another packet in one burst. At `deafAt` its answer
// to the link check is lost.
TEST_F(DeviceFakeTest, NegotiationTakesTheFastestListedRateBelowTheHighestThatWorks) {
    struct Case {
        const char* what;
        std::vector<uint32_t> rates;
        bool refuses;
        uint32_t deafAt;
        uint8_t autoBefore;
        int32_t result;
        uint8_t autoAfter;
        std::vector<uint32_t> requested;
    };
    // clang-format off
    const Case cases[] = {
        {"never the highest", {19200, 115200, 9600, 57600, 38400}, false, 0, 0, 1, 5, {57600}},
        {"second highest is the port's rate", {9600, 19200}, false, 0, 6, 1, 2, {}},
        {"one entry", {115200}, false, 0, 6, 0, 6, {}},
        {"the present rate only", {9600}, false, 0, 0, 1, 2, {}},
        {"a rejected rate is skipped", {115200, 30000, 19200, 9600}, false, 0, 0, 1, 3, {19200}},
        {"a refused change goes on", {115200, 57600, 38400, 9600}, true, 0, 6, 1, 2, {57600, 38400}},
        {"no answer after the change goes on", {115200, 57600, 38400}, false, 57600, 0, 1, 4,
         {57600, 38400}},
        {"no list keeps a rate that answers", {}, false, 0, 6, 1, 2, {}},
        {"a silent receiver", {}, false, 9600, 6, 0, 6, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        serialClose();
        ASSERT_EQ(serialOpen(1), 1);
        fake.device.writes.clear();
        const size_t sleptBefore = sleeps.calls().size();
        fake.device.onWrite = [&](const Bytes& written) {
            const Bytes list = c.rates.empty() ? kOtherPacket : frameOf(252, ratePayload(c.rates));
            if (written == kListCommand && fake.device.rate != c.deafAt)
                fake.device.feed(join({kOtherPacket, list}));
            if (written[1] == 48 && !c.refuses)
                fake.device.feed(join({kOtherPacket, kChangeAgreed}));
        };
        uint8_t autoRate = c.autoBefore;
        EXPECT_EQ(deviceNegotiateBaudRate(autoRate), c.result);
        EXPECT_EQ(autoRate, c.autoAfter);
        EXPECT_EQ(serialBaudIndex(), c.result ? c.autoAfter : 2);
        std::vector<Bytes> requested;
        for (uint32_t rate : c.requested) requested.push_back(changeRequest(rate));
        std::erase_if(fake.device.writes, [](const Bytes& w) { return w[1] != 48; });
        EXPECT_EQ(fake.device.writes, requested);
        EXPECT_EQ(sleeps.calls().size() == sleptBefore, c.requested.empty())
            << "pauses of a change";
    }
}

TEST_F(DeviceFakeTest, AChoiceIsAppliedOnlyWhenThePortIsNotAtItAndOutsideOneToSixFails) {
    uint8_t autoRate = 0;
    EXPECT_EQ(deviceSetDesiredBaudRate(2, autoRate), 1);
    EXPECT_TRUE(fake.device.writes.empty());
    EXPECT_EQ(ticks.count(), 0u);

    // Every link starts at 9600, so a remembered 9600 (a session that only
    // queried) is no reason to stay there: Auto asks for the list.
    autoRate = 2;
    EXPECT_EQ(deviceSetDesiredBaudRate(1, autoRate), 0) << "nobody answers here";
    EXPECT_EQ(fake.device.writes.front(), kListCommand);
    fake.device.writes.clear();

    // A fixed choice asks for its rate at once: no list, no link check.
    answer(changeRequest(115200), kChangeAgreed);
    EXPECT_EQ(deviceSetDesiredBaudRate(6, autoRate), 1);
    EXPECT_EQ(fake.device.writes.front(), changeRequest(115200));
    EXPECT_EQ(serialBaudIndex(), 6);
    EXPECT_EQ(autoRate, 2);

    // A faster link already up at the remembered rate is kept as it is.
    fake.device.writes.clear();
    autoRate = 6;
    EXPECT_EQ(deviceSetDesiredBaudRate(1, autoRate), 1);
    EXPECT_TRUE(fake.device.writes.empty());

    serialClose();
    for (uint8_t choice : {0, 7, 8, 255})
        EXPECT_EQ(deviceSetDesiredBaudRate(choice, autoRate), 0) << "even at the port's index 0";
    EXPECT_TRUE(fake.device.writes.empty());
    EXPECT_EQ(autoRate, 6);
}

// A receiver still sending the screen of a stopped capture loses the
// request. Its records, one every third tick for longer than the 10 s cap,
// are not the answer, and their idle ticks do not count; 50 quiet ticks after
// the last one the request goes out again, and its answer is taken.
TEST_F(DeviceFakeTest, AScreenStillComingIsWaitedOutAndTheRequestSentAgain) {
    const Bytes record = frameOf(69, Bytes(40, 0x10));
    constexpr uint64_t kStreamEnd = 3000;
    const struct {
        const char* what;
        Bytes request;
        Bytes reply;
        std::function<int32_t()> operation;
        int32_t answered;
    } rows[] = {
        {"link check", kListCommand, kOtherPacket, [] { return deviceCheckLink(); }, 1},
        {"product query", kProductQuery, productReply(7, 100),
         [] { return int32_t{query().result}; }, 0},
        {"rate list", kListCommand, frameOf(252, ratePayload({9600})),
         [this] { return listRates(); }, 1},
    };
    uint64_t lastRecord = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fresh();
        answer(row.request, row.reply, 2);
        tickSetManualHook([&](uint64_t tick) {
            if (tick % 3 == 1 && tick < kStreamEnd) {
                fake.device.feed(record);
                lastRecord = tick;
            }
        });
        EXPECT_EQ(row.operation(), row.answered);
        ASSERT_GE(sentAt.size(), 2u);
        EXPECT_EQ(sentAt[0], std::make_pair(row.request, uint64_t{0}));
        EXPECT_EQ(sentAt[1], std::make_pair(row.request, lastRecord + 50));
    }
    EXPECT_EQ(count, 1) << "the list was taken";

    // Behind another packet, a screen record is a packet like any other.
    fresh();
    answer(kListCommand, join({frameOf(6, {}), record}));
    EXPECT_EQ(deviceCheckLink(), 1);
    EXPECT_EQ(sentAt.size(), 1u);
}

TEST_F(DeviceFakeTest, AStopRequestEndsEveryWaitAsIfUnanswered) {
    // A silent device, and the request rising on the third tick of each wait:
    // none waits out its 50 or 400 ticks.
    const auto stopped = [&](auto operation, int32_t unanswered) {
        fresh();
        tickSetManualHook([](uint64_t tick) {
            if (tick == 3)
                stopRequest();
        });
        EXPECT_EQ(operation(), unanswered);
        EXPECT_LE(ticks.count(), 4u) << "one pass more where a second wait follows";
        stopClear();
    };
    uint8_t autoRate = 0;
    stopped([] { return deviceCheckLink(); }, 0);
    stopped([] { return deviceProbeBaudRates(); }, 0);
    stopped([] { return static_cast<int32_t>(query().result); }, 1);
    stopped([this] { return listRates(); }, 0);
    stopped([&] { return deviceNegotiateBaudRate(autoRate); }, 0);
    EXPECT_EQ(autoRate, 0);

    // The pauses of a rate change end too, and nothing more is sent.
    stopRequest();
    fake.device.writes.clear();
    EXPECT_EQ(deviceChangeBaudRate(57600), 0);
    EXPECT_TRUE(fake.device.writes.empty());
    EXPECT_EQ(serialBaudIndex(), 2);
    stopClear();
}

}  // namespace
