#include "capture/progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

struct FakeBar : ProgressBar {
    int32_t lower = -1;
    int32_t upper = -1;
    uint32_t position = 12345;
    int calls = 0;
    void setRange(int32_t l, int32_t u) override {
        lower = l;
        upper = u;
        ++calls;
    }
    void setPosition(uint32_t p) override {
        position = p;
        ++calls;
    }
};

struct FakeText : ProgressText {
    std::vector<std::string> shown;
    void setText(const std::string& text) override { shown.push_back(text); }
    std::string last() const { return shown.empty() ? "" : shown.back(); }
};

class Progress : public ::testing::Test {
  protected:
    void SetUp() override {
        platformSetMessagePumpHook([this] { ++pumped; });
    }
    void TearDown() override {
        progressEnd();
        platformSetMessagePumpHook({});
    }
    FakeBar bar;
    FakeBar otherBar;
    FakeText text;
    int pumped = 0;
};

TEST_F(Progress, BeginSetsTheBarToZeroOfHundredAndTheTextToIdle) {
    progressBegin(&bar, &text);
    EXPECT_EQ(bar.lower, 0);
    EXPECT_EQ(bar.upper, 100);
    EXPECT_EQ(bar.position, 0u);
    EXPECT_EQ(text.last(), "Idle...");
}

TEST_F(Progress, UpdateMovesTheBarToDoneAndShowsTruncatedPercent) {
    progressBegin(&bar, &text);
    progressSetRange(3);
    EXPECT_EQ(bar.upper, 3);
    progressUpdate(1, 3);
    EXPECT_EQ(bar.position, 1u);
    EXPECT_EQ(text.last(), "33%");
    progressUpdate(2, 3);
    EXPECT_EQ(text.last(), "66%");
    progressSetRange(38400);
    progressUpdate(38400, 38400);
    EXPECT_EQ(bar.position, 38400u);
    EXPECT_EQ(text.last(), "100%");
    progressUpdate(0, 768);
    EXPECT_EQ(text.last(), "0%");
}

TEST_F(Progress, UntrustedTotalsNeitherFailNorExceedAHundredPercent) {
    progressBegin(&bar, &text);
    progressUpdate(10, 0);
    EXPECT_EQ(text.last(), "0%");
    progressUpdate(10, -5);
    EXPECT_EQ(text.last(), "0%");
    progressUpdate(0xFFFFFFFFu, 1);
    EXPECT_EQ(text.last(), "100%");
    EXPECT_EQ(bar.position, 0xFFFFFFFFu);
}

TEST_F(Progress, EachUpdatePumpsExactlyOneMessage) {
    progressBegin(&bar, &text);
    progressSetRange(10);
    EXPECT_EQ(pumped, 0);
    progressUpdate(1, 10);
    progressUpdate(2, 10);
    EXPECT_EQ(pumped, 2);
    progressEnd();
    EXPECT_EQ(pumped, 2);
}

TEST_F(Progress, EndResetsAndUnbinds) {
    progressBegin(&bar, &text);
    progressSetRange(500);
    progressUpdate(250, 500);
    progressEnd();
    EXPECT_EQ(bar.position, 0u);
    EXPECT_EQ(bar.upper, 500) << "the range is left as it was";
    EXPECT_EQ(text.last(), "Idle...");

    const int barCalls = bar.calls;
    const size_t texts = text.shown.size();
    progressSetRange(7);
    progressUpdate(3, 7);
    progressEnd();
    EXPECT_EQ(bar.calls, barCalls);
    EXPECT_EQ(text.shown.size(), texts);
    EXPECT_EQ(pumped, 2) << "an unbound update still keeps the window alive";
}

TEST_F(Progress, EitherControlMayBeMissingAndRebindingReplaces) {
    progressBegin(nullptr, &text);
    progressSetRange(4);
    progressUpdate(1, 4);
    EXPECT_EQ(text.last(), "25%");

    progressBegin(&otherBar, nullptr);
    progressUpdate(2, 4);
    EXPECT_EQ(otherBar.position, 2u);
    EXPECT_EQ(text.last(), "25%") << "the earlier text is no longer bound";
}

}  // namespace
