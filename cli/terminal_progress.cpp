#include "cli/terminal_progress.h"

#include <algorithm>

#include "capture/progress.h"

namespace {
constexpr int kBarWidth = 30;
}

void TerminalProgress::setRange(int32_t /*lower*/, int32_t upper) {
    upper_ = upper;
}

void TerminalProgress::setPosition(uint32_t position) {
    position_ = position;
}

void TerminalProgress::setText(const std::string& text) {
    if (text == kProgressIdleText) {
        return;  // binding and unbinding: nothing received yet
    }
    const int64_t total = std::max<int64_t>(upper_, 1);
    const int filled = static_cast<int>(std::min<int64_t>(position_, total) * kBarWidth / total);
    out_ << '\r' << std::string(std::max<size_t>(4, text.size()) - text.size(), ' ') << text << " ["
         << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(kBarWidth - filled), '.') << "] " << position_ << '/'
         << upper_ << " bytes" << std::flush;
    drawn_ = true;
}

void TerminalProgress::finish() {
    if (drawn_) {
        out_ << '\n' << std::flush;
        drawn_ = false;
    }
}
