// The download's progress as one line on a terminal: percentage, a bar and
// the bytes received of the stream being received.
#pragma once

#include <ostream>
#include <string>

#include "capture/progress.h"

class TerminalProgress : public ProgressBar, public ProgressText {
  public:
    explicit TerminalProgress(std::ostream& out) : out_(out) {}
    void setRange(int32_t lower, int32_t upper) override;
    void setPosition(uint32_t position) override;
    void setText(const std::string& text) override;
    // Ends the line if anything was drawn.
    void finish();

  private:
    std::ostream& out_;
    int64_t upper_ = 100;
    uint32_t position_ = 0;
    bool drawn_ = false;
};
