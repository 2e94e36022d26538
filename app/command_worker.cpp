#include "app/command_worker.h"

#include <QEventLoop>

CommandWorker::CommandWorker(QObject* parent) : QObject(parent), context_(new QObject) {
    thread_.setObjectName(QStringLiteral("device commands"));
    context_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.start();
}

CommandWorker::~CommandWorker() {
    waitForIdle();
    thread_.quit();
    thread_.wait();
}

bool CommandWorker::start(std::function<void()> command) {
    if (busy_)
        return false;
    busy_ = true;
    QMetaObject::invokeMethod(
        context_,
        [this, command = std::move(command)] {
            command();
            QMetaObject::invokeMethod(
                this,
                [this] {
                    busy_ = false;
                    emit finished();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

void CommandWorker::waitForIdle() {
    if (!busy_)
        return;
    QEventLoop loop;
    connect(this, &CommandWorker::finished, &loop, &QEventLoop::quit);
    loop.exec();
}
