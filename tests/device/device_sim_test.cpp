// The device operations against the virtual receiver on a pseudo-terminal,
// with real ticks and the pauses recorded instead of slept.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/device_query.h"
#include "link/packet_link.h"
#include "serial/serial_port.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

using ::testing::ElementsAre;

namespace {

using namespace std::chrono_literals;

constexpr uint8_t kAcknowledge = 6;
constexpr uint8_t kRateChangeRequest = 48;

uint32_t le32(const std::vector<uint8_t>& p) {
    return p.size() < 4 ? 0 : p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

class DeviceSimTest : public ::testing::Test {
  protected:
    void play(sim::Config config) {
        receiver_ = std::make_unique<VirtualReceiver>(std::move(config));
        ASSERT_TRUE(receiver_->start()) << receiver_->error();
        savedPath_ = serialPortDevice(1);
        serialSetPortDevice(1, receiver_->slavePath());
        serialInit();
        serialSetByteHandler(linkReceiveByte);
        linkSetOverflow(0);
        linkResetReceiver();
        ASSERT_EQ(serialOpen(1), 1) << serialLastOpenError();
    }
    void TearDown() override {
        serialClose();
        serialShutdown();
        if (!savedPath_.empty())
            serialSetPortDevice(1, savedPath_);
        if (receiver_)
            receiver_->stop();
    }

    sim::Config withRates(std::vector<uint32_t> rates) {
        sim::Config config;
        config.productId = 133;
        config.rates = std::move(rates);
        return config;
    }

    // The packets the receiver heard, once `count` have arrived.
    std::vector<sim::LoggedPacket> heard(size_t count) {
        receiver_->waitForPackets(count, 2s);
        std::vector<sim::LoggedPacket> out;
        for (const sim::LoggedPacket& p : receiver_->packets())
            if (p.heard)
                out.push_back(p);
        return out;
    }
    std::vector<uint32_t> requestedRates() {
        std::vector<uint32_t> rates;
        for (const sim::LoggedPacket& p : receiver_->packets())
            if (p.heard && p.id == kRateChangeRequest)
                rates.push_back(le32(p.payload));
        return rates;
    }

    ScopedSleepRecorder sleeps;
    std::unique_ptr<VirtualReceiver> receiver_;

  private:
    std::string savedPath_;
};

TEST_F(DeviceSimTest, QueryIdentifiesTheReceiver) {
    sim::Config config = sim::presetForProduct(166);
    config.version = 1234;
    play(config);
    DeviceInfo info{};
    char version[256] = "";
    EXPECT_EQ(deviceQueryProduct(info, version, sizeof version), 0);
    EXPECT_STREQ(info.name, ProductCatalogue[166].name);
    EXPECT_EQ(info.screenType, 3);
    EXPECT_EQ(info.recordFormat, 4);
    EXPECT_EQ(info.postProcess, ProductCatalogue[166].postProcess);
    EXPECT_STREQ(version, "12.34");
}

TEST_F(DeviceSimTest, ProbingFindsTheReceiverAt38400AndStaysThere) {
    sim::Config config = withRates({9600, 38400});
    config.initialRate = 38400;
    play(config);
    EXPECT_EQ(deviceProbeBaudRates(), 1);
    EXPECT_EQ(serialBaudIndex(), 4);
    // The check at the current rate, then 9600, then 19200, then 38400.
    std::vector<uint32_t> tried;
    for (const sim::LoggedPacket& p : receiver_->packets())
        if (tried.empty() || tried.back() != p.lineRate)
            tried.push_back(p.lineRate);
    EXPECT_THAT(tried, ElementsAre(9600u, 19200u, 38400u));
    EXPECT_THAT(sleeps.calls(), ElementsAre(500u, 500u, 500u));
    EXPECT_EQ(deviceCheckLink(), 1);
}

TEST_F(DeviceSimTest, NegotiationNeverTriesTheHighestListedRate) {
    // The list and the change reply each come in one burst behind an unknown
    // packet: a pass that took only the first packet would miss both.
    sim::Config config = withRates({19200, 115200, 9600, 57600, 38400});
    config.faults.unknownPackets = true;
    play(config);
    uint8_t autoRate = 0;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 1);
    EXPECT_EQ(autoRate, 5);
    EXPECT_EQ(serialBaudIndex(), 5);
    EXPECT_TRUE(receiver_->waitForRate(57600, 2s));
    EXPECT_THAT(requestedRates(), ElementsAre(57600u));
    EXPECT_EQ(deviceCheckLink(), 1) << "both ends now run at 57600";
}

TEST_F(DeviceSimTest, ASecondHighestRateEqualToThePortsEndsAtOnce) {
    play(withRates({9600, 19200}));
    uint8_t autoRate = 6;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 1);
    EXPECT_EQ(autoRate, 2);
    const auto packets = heard(2);
    ASSERT_EQ(packets.size(), 2u) << "nothing after the acknowledgement of the list";
    EXPECT_EQ(packets[1].id, kAcknowledge);
    EXPECT_EQ(packets[1].payload, (std::vector<uint8_t>{0xFC, 0x00}));
    EXPECT_TRUE(sleeps.calls().empty());
}

TEST_F(DeviceSimTest, AOneEntryListTriesNothingAndFails) {
    play(withRates({115200}));
    uint8_t autoRate = 6;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 0);
    EXPECT_EQ(autoRate, 6);
    EXPECT_EQ(heard(2).size(), 2u);
    EXPECT_TRUE(requestedRates().empty());
}

TEST_F(DeviceSimTest, ARejectedRateIsSkipped) {
    play(withRates({115200, 30000, 19200, 9600}));
    uint8_t autoRate = 0;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 1);
    EXPECT_THAT(requestedRates(), ElementsAre(19200u));
    EXPECT_EQ(autoRate, 3);
    EXPECT_EQ(serialBaudIndex(), 3);
}

TEST_F(DeviceSimTest, ARefusedChangeGoesOnToTheNextRate) {
    sim::Config config = withRates({115200, 57600, 38400, 9600});
    config.faults.refuseRateChange = true;
    play(config);
    uint8_t autoRate = 6;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 1);
    EXPECT_THAT(requestedRates(), ElementsAre(57600u, 38400u));
    EXPECT_EQ(autoRate, 2) << "9600 is the port's rate: kept without a change";
    EXPECT_EQ(serialBaudIndex(), 2);
}

TEST_F(DeviceSimTest, WithoutAListTheCurrentRateIsKeptWhenTheLinkAnswers) {
    sim::Config config = withRates({9600, 19200});
    config.faults.noRateList = true;
    play(config);
    uint8_t autoRate = 6;
    EXPECT_EQ(deviceNegotiateBaudRate(autoRate), 1);
    EXPECT_EQ(autoRate, 2);
    EXPECT_TRUE(requestedRates().empty());
}

TEST_F(DeviceSimTest, AFixedChoiceMovesBothEnds) {
    play(withRates({9600, 19200, 38400, 57600, 115200}));
    uint8_t autoRate = 1;
    EXPECT_EQ(deviceSetDesiredBaudRate(6, autoRate), 1);
    EXPECT_EQ(serialBaudIndex(), 6);
    EXPECT_TRUE(receiver_->waitForRate(115200, 2s));
    EXPECT_EQ(autoRate, 1);
    for (const sim::LoggedPacket& p : receiver_->packets())
        EXPECT_NE(p.payload, (std::vector<uint8_t>{0x39, 0x00})) << "no list or link check";
    EXPECT_EQ(deviceCheckLink(), 1);
    EXPECT_EQ(deviceSetDesiredBaudRate(6, autoRate), 1) << "already there";
    EXPECT_THAT(requestedRates(), ElementsAre(115200u));
}

}  // namespace
