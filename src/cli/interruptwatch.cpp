#include "cli/interruptwatch.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };
std::atomic<int> g_caught { 0 };

void onSignal(int signal)
{
    int expected = 0;
    g_caught.compare_exchange_strong(expected, signal);
    const char byte = char(signal);
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
}

} // namespace

InterruptWatch::InterruptWatch(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) { }
        Q_EMIT interrupted(g_caught.load());
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        ::sigaction(signal, &action, nullptr);
    // Output into a closed pipe (tolm-convert ... | head) must not end us with our children
    // left running untracked; the write fails and the run goes on.
    std::signal(SIGPIPE, SIG_IGN);
}

InterruptWatch::~InterruptWatch()
{
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        std::signal(signal, SIG_DFL);
}

int InterruptWatch::caught()
{
    return g_caught.load();
}
