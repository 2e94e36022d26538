#include "capture/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace {

using Log = std::vector<std::string>;

// A bar and a text that write down, in order, what is done to them.
struct Control : ProgressBar, ProgressText {
    explicit Control(Log& log, std::string name) : log_(log), name_(std::move(name)) {}
    void setRange(int32_t lower, int32_t upper) override {
        log_.push_back(name_ + " range " + std::to_string(lower) + ".." + std::to_string(upper));
    }
    void setPosition(uint32_t position) override {
        log_.push_back(name_ + " at " + std::to_string(position));
    }
    void setText(const std::string& text) override { log_.push_back(name_ + " '" + text + "'"); }

  private:
    Log& log_;
    std::string name_;
};

class Progress : public ::testing::Test {
  protected:
    void SetUp() override {
        platformSetMessagePumpHook([this] { log.push_back("pump"); });
    }
    void TearDown() override {
        progressEnd();
        platformSetMessagePumpHook({});
    }
    // What the calls since the last look did.
    Log taken() { return std::exchange(log, {}); }

    Log log;
    Control bar{log, "bar"};
    Control text{log, "text"};
};

TEST_F(Progress, OneDownloadFromBeginToEnd) {
    progressBegin(&bar, &text);
    EXPECT_EQ(taken(), (Log{"bar range 0..100", "bar at 0", "text 'Idle...'"}));
    progressSetRange(3);
    progressUpdate(1, 3);
    progressUpdate(2, 3);
    progressUpdate(3, 3);
    // The bar moves to done itself; the text is truncated, not rounded.
    EXPECT_EQ(taken(), (Log{"bar range 0..3", "bar at 1", "text '33%'", "pump", "bar at 2",
                            "text '66%'", "pump", "bar at 3", "text '100%'", "pump"}));
    // Totals come from the wire: none is a division by zero or beyond 100%.
    progressUpdate(10, 0);
    progressUpdate(0xFFFFFFFFu, 1);
    EXPECT_EQ(taken(),
              (Log{"bar at 10", "text '0%'", "pump", "bar at 4294967295", "text '100%'", "pump"}));
    progressEnd();
    EXPECT_EQ(taken(), (Log{"bar at 0", "text 'Idle...'"})) << "the range is left as it was";
    // The controls may be gone once the download ended: nothing touches them.
    progressSetRange(7);
    progressUpdate(3, 7);
    EXPECT_EQ(taken(), (Log{"pump"})) << "an unbound update still keeps the window alive";
}

}  // namespace
