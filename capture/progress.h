// The progress display of a screen download: a bar and a percentage text.
//
// The front end binds its two controls with progressBegin before a download
// and releases them with progressEnd afterwards; the download moves them with
// progressSetRange and progressUpdate. Each update also lets the front end
// handle one pending window message (platformPumpOneMessage), so a window
// that shares the download's thread stays alive. With nothing bound every
// call is harmless. One pair is bound at a time; binding again replaces it.
#pragma once

#include <cstdint>
#include <string>

// A bar with a range and a position.
class ProgressBar {
  public:
    virtual ~ProgressBar() = default;
    virtual void setRange(int32_t lower, int32_t upper) = 0;
    virtual void setPosition(uint32_t position) = 0;
};

// A line of text beside the bar.
class ProgressText {
  public:
    virtual ~ProgressText() = default;
    virtual void setText(const std::string& text) = 0;
};

// The text shown while no data is being received.
inline constexpr const char* kProgressIdleText = "Idle...";

// Binds the controls (either may be null): the bar to 0 of 0..100, the text
// to "Idle...".
void progressBegin(ProgressBar* bar, ProgressText* text);

// Sets the bar's range to 0..total.
void progressSetRange(int32_t total);

// Moves the bar to `done`, shows the share of `total` done as a whole
// percentage ("37%", truncated; 0% when total is not above 0, never above
// 100%), then handles at most one pending window message without waiting.
void progressUpdate(uint32_t done, int32_t total);

// Puts the bar back to 0 and the text to "Idle...", then unbinds both.
void progressEnd();
