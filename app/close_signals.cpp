#include "app/close_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>

#include "platform/stop_request.h"

namespace {

constexpr std::array kClosingSignals = {SIGINT, SIGTERM, SIGHUP};

int gWakeFds[2] = {-1, -1};  // read end, write end

void onClosingSignal(int) {
    stopRequest();
    const char byte = 1;
    const int saved = errno;
    [[maybe_unused]] const ssize_t ignored = write(gWakeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

CloseOnSignals::CloseOnSignals(std::function<void()> close) : close_(std::move(close)) {
    if (pipe2(gWakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // the program still closes by its window, only not by signal
    notifier_ = new QSocketNotifier(gWakeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (read(gWakeFds[0], bytes, sizeof bytes) > 0) {
        }
        close_();
    });
    struct sigaction action = {};
    action.sa_handler = onClosingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kClosingSignals) sigaction(signal, &action, nullptr);
}

CloseOnSignals::~CloseOnSignals() {
    if (!notifier_)
        return;
    for (int signal : kClosingSignals) ::signal(signal, SIG_DFL);
    delete notifier_;
    ::close(gWakeFds[0]);
    ::close(gWakeFds[1]);
    gWakeFds[0] = gWakeFds[1] = -1;
}
