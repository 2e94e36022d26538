// The one thread on which the main window's device work runs: jobs, one at
// a time, in the order they were posted. A device command may block for
// seconds (a rate negotiation pauses about 6 s) while the window's thread
// goes on painting and answering.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CommandWorker {
  public:
    CommandWorker();
    ~CommandWorker();  // finish()
    CommandWorker(const CommandWorker&) = delete;
    CommandWorker& operator=(const CommandWorker&) = delete;

    // Any thread: runs `job` on the worker after the jobs posted before it.
    // Ignored once finish() has been called.
    void post(std::function<void()> job);
    // Runs the jobs posted so far, then ends the thread and waits for it.
    // The jobs must not wait for the caller meanwhile.
    void finish();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;  // guarded by mutex_
    bool finishing_ = false;                  // guarded by mutex_
    std::thread thread_;
};
