// The download's progress in the main window's bar and percentage text.
//
// The download runs on the worker and reports every chunk; each report is
// posted to the window's thread, in order, so the worker never waits for the
// window and the window shows the reports as it gets to them.
#pragma once

#include <QPointer>
#include <QtGlobal>

#include "capture/progress.h"

class QLabel;
class QProgressBar;

class WindowProgress : public ProgressBar, public ProgressText {
  public:
    WindowProgress(QProgressBar* bar, QLabel* text);

    void setRange(int32_t lower, int32_t upper) override;
    void setPosition(uint32_t position) override;
    void setText(const std::string& text) override;

  private:
    QPointer<QProgressBar> bar_;
    QPointer<QLabel> text_;
};
