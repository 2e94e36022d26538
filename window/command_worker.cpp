#include "window/command_worker.h"

CommandWorker::CommandWorker() : thread_([this] { run(); }) {}

CommandWorker::~CommandWorker() {
    finish();
}

void CommandWorker::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (finishing_)
            return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void CommandWorker::finish() {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void CommandWorker::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return finishing_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;  // finishing, and nothing left to run
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}
