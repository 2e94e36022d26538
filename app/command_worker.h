// The one thread on which the window's device commands run.
//
// A command uses the serial link from its start to its end; on the worker it
// may block for seconds (a rate negotiation pauses about 6 s) while the
// window's thread goes on painting and answering. Whatever it shows goes
// through the window's thread (see window_thread.h). One command runs at a
// time: start() refuses another while one runs.
#pragma once

#include <QObject>
#include <QThread>
#include <functional>

class CommandWorker : public QObject {
    Q_OBJECT

  public:
    explicit CommandWorker(QObject* parent = nullptr);
    ~CommandWorker() override;  // waits for a running command, then ends the thread

    // Runs `command` on the worker; false, doing nothing, while one runs.
    bool start(std::function<void()> command);
    bool busy() const { return busy_; }
    // Keeps the window's thread handling its events until no command runs,
    // so that a command waiting for the window can finish.
    void waitForIdle();

  signals:
    // On the window's thread, once the command has returned.
    void finished();

  private:
    QThread thread_;
    QObject* context_;  // lives on thread_; commands are posted to it
    bool busy_ = false;
};
