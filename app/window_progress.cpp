#include "app/window_progress.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <limits>

WindowProgress::WindowProgress(QProgressBar* bar, QLabel* text) : bar_(bar), text_(text) {}

// Posted with the control as context: a report for a control that is gone is dropped.
void WindowProgress::setRange(int32_t lower, int32_t upper) {
    QMetaObject::invokeMethod(
        bar_.data(), [bar = bar_, lower, upper] { bar->setRange(lower, upper); },
        Qt::QueuedConnection);
}

void WindowProgress::setPosition(uint32_t position) {
    const int value = static_cast<int>(
        std::min<uint32_t>(position, static_cast<uint32_t>(std::numeric_limits<int>::max())));
    QMetaObject::invokeMethod(
        bar_.data(), [bar = bar_, value] { bar->setValue(value); }, Qt::QueuedConnection);
}

void WindowProgress::setText(const std::string& text) {
    QMetaObject::invokeMethod(
        text_.data(),
        [label = text_, text = QString::fromStdString(text)] { label->setText(text); },
        Qt::QueuedConnection);
}
