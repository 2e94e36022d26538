// Running a piece of work on the window's thread from any thread.
//
// Widgets may only be touched on the thread that runs the window. A device
// command runs on a worker and hands each step that touches the window to
// that thread, waiting for it, so the steps keep their order.
#pragma once

#include <QCoreApplication>
#include <QThread>

// True on the thread of the application object (or when there is none yet).
inline bool onWindowThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

// Runs `work` on the window's thread and returns its result; directly when
// already there. The window's thread must not be waiting for the caller.
template <typename Work>
auto runOnWindowThread(Work work) -> decltype(work()) {
    if (onWindowThread())
        return work();
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), work, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { result = work(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}
