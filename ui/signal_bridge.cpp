#include "ui/signal_bridge.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <csignal>

namespace {

int signal_pipe[2] = {-1, -1};
constexpr int bridged_signals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void on_signal(int number)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    // Nothing else is safe here; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(signal_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

signal_bridge::signal_bridge(QObject* parent) : QObject(parent)
{
    if (signal_pipe[0] < 0 && ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(signal_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(signal_pipe[0], &byte, 1) == 1)
            emit termination_requested(byte);
    });
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : bridged_signals)
        ::sigaction(number, &action, nullptr);
}

signal_bridge::~signal_bridge()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : bridged_signals)
        ::sigaction(number, &action, nullptr);
}
