// SIGINT, SIGTERM and SIGHUP close the window program as its close box does.
//
// The handler itself only raises the core's stop request (so that a running
// command ends at its next pass) and writes a byte to a pipe; the window's
// thread reads it and runs `close`, which closes the window and with it the
// program. The handlers are in place for the lifetime of the object.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class CloseOnSignals : public QObject {
  public:
    explicit CloseOnSignals(std::function<void()> close);
    ~CloseOnSignals() override;

  private:
    std::function<void()> close_;
    QSocketNotifier* notifier_ = nullptr;
};
