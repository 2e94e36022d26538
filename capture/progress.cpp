#include "capture/progress.h"

#include <cstdio>

#include "platform/platform.h"

namespace {

ProgressBar* gBar = nullptr;
ProgressText* gText = nullptr;

int percentDone(uint32_t done, int32_t total) {
    if (total <= 0)
        return 0;
    // Quotient first, then the factor 100, truncated: 1 of 3 shows 33%.
    const double percent = static_cast<double>(done) / total * 100.0;
    // Data past the announced size must not show more than complete.
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

}  // namespace

void progressBegin(ProgressBar* bar, ProgressText* text) {
    gBar = bar;
    gText = text;
    if (gBar) {
        gBar->setRange(0, 100);
        gBar->setPosition(0);
    }
    if (gText)
        gText->setText(kProgressIdleText);
}

void progressSetRange(int32_t total) {
    if (gBar)
        gBar->setRange(0, total);
}

void progressUpdate(uint32_t done, int32_t total) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percentDone(done, total));
    if (gBar)
        gBar->setPosition(done);
    if (gText)
        gText->setText(text);
    platformPumpOneMessage();
}

void progressEnd() {
    if (gBar)
        gBar->setPosition(0);
    if (gText)
        gText->setText(kProgressIdleText);
    gBar = nullptr;
    gText = nullptr;
}
