// The device operations against the virtual receiver on a pseudo-terminal,
// with real ticks and the pauses recorded instead of slept.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/device_query.h"
#include "serial/pty_pair.h"
#include "serial/serial_port.h"
#include "sim/sim_wire.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

using ::testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

class DeviceSimTest : public ::testing::Test {
  protected:
    void TearDown() override { stop(); }

    // Starts a receiver with `rates` and the named fault (if any) and opens
    // port 1 on it; a receiver already playing stops first.
    void play(std::vector<uint32_t> rates, const char* fault = "", uint32_t initialRate = 9600) {
        stop();
        sim::Config config = sim::presetForProduct(166);
        config.version = 1234;
        config.rates = std::move(rates);
        config.initialRate = initialRate;
        if (*fault) {
            ASSERT_TRUE(sim::applyFault(fault, config.faults)) << fault;
        }
        receiver_ = std::make_unique<VirtualReceiver>(std::move(config));
        ASSERT_TRUE(receiver_->start()) << receiver_->error();
        port_.emplace(receiver_->slavePath());
        ASSERT_TRUE(port_->opened()) << serialLastOpenError();
    }
    void stop() {
        port_.reset();
        if (receiver_)
            receiver_->stop();
    }

    std::vector<uint32_t> requestedRates() const {
        std::vector<uint32_t> rates;
        for (const sim::LoggedPacket& p : receiver_->packets()) {
            if (p.heard && p.id == sim::wire::packet::RateChangeRequest && p.payload.size() == 4)
                rates.push_back(sim::wire::getLe32(p.payload.data()));
        }
        return rates;
    }
    size_t heardCount() const {
        size_t count = 0;
        for (const sim::LoggedPacket& p : receiver_->packets()) count += p.heard ? 1 : 0;
        return count;
    }

    ScopedSleepRecorder sleeps;
    std::unique_ptr<VirtualReceiver> receiver_;
    std::optional<ScopedOpenPort> port_;
};

TEST_F(DeviceSimTest, ProbingFindsTheReceiverAt38400AndIdentifiesIt) {
    play({9600, 38400}, "", 38400);
    EXPECT_EQ(deviceProbeBaudRates(), 1);
    EXPECT_EQ(serialBaudIndex(), 4);
    // The check at the current rate, then 9600, then 19200, then 38400.
    std::vector<uint32_t> tried;
    for (const sim::LoggedPacket& p : receiver_->packets())
        if (tried.empty() || tried.back() != p.lineRate)
            tried.push_back(p.lineRate);
    EXPECT_THAT(tried, ElementsAre(9600u, 19200u, 38400u));
    EXPECT_THAT(sleeps.calls(), ElementsAre(500u, 500u, 500u));

    DeviceInfo info{};
    char version[256] = "";
    EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 0);
    EXPECT_STREQ(info.name, ProductCatalogue[166].name);
    EXPECT_EQ(info.postProcess, ProductCatalogue[166].postProcess);
    EXPECT_STREQ(version, "12.34");
}

TEST_F(DeviceSimTest, NegotiationAsTheReceiverHearsIt) {
    struct Case {
        const char* what;
        std::vector<uint32_t> rates;
        const char* fault;
        uint8_t autoBefore;
        int32_t result;
        uint8_t autoAfter;
        std::vector<uint32_t> requested;
        uint8_t portIndex;
    };
    const Case cases[] = {
        // The list and the change reply each come in one burst behind an
        // unknown packet: a pass that took only the first packet misses both.
        {"never the highest listed rate",
         {19200, 115200, 9600, 57600, 38400},
         "unknown-packets",
         0,
         1,
         5,
         {57600},
         5},
        {"second highest is the port's rate", {9600, 19200}, "", 6, 1, 2, {}, 2},
        {"one entry", {115200}, "", 6, 0, 6, {}, 2},
        {"a list of the present rate only", {9600}, "", 0, 1, 2, {}, 2},
        {"a rejected rate is skipped", {115200, 30000, 19200, 9600}, "", 0, 1, 3, {19200}, 3},
        {"a refused change goes on",
         {115200, 57600, 38400, 9600},
         "refuse-rate",
         6,
         1,
         2,
         {57600, 38400},
         2},
        {"no list keeps a rate that answers", {9600, 19200}, "no-rates", 6, 1, 2, {}, 2},
        {"a silent receiver", {9600, 19200}, "silent", 6, 0, 6, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        play(c.rates, c.fault);
        const size_t sleptBefore = sleeps.calls().size();
        uint8_t autoRate = c.autoBefore;
        EXPECT_EQ(deviceNegotiateBaudRate(autoRate), c.result);
        EXPECT_EQ(autoRate, c.autoAfter);
        EXPECT_EQ(serialBaudIndex(), c.portIndex);
        EXPECT_EQ(requestedRates(), c.requested);
        if (c.requested.empty()) {
            EXPECT_EQ(sleeps.calls().size(), sleptBefore) << "no rate change";
        }
        if (c.rates.size() <= 2 && !*c.fault) {
            receiver_->waitForPackets(2, 2s);
            EXPECT_EQ(heardCount(), 2u) << "the list request and its acknowledgement, no more";
        }
        if (c.result == 1) {
            EXPECT_EQ(deviceCheckLink(), 1) << "both ends run at the same rate";
        }
    }
}

}  // namespace
