#include "cli/SignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_fds[2] = {-1, -1};
// Ctrl-C, a kill, and a closed terminal all stop the rip the same way.
constexpr int WatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
}

} // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0)
        return;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : WatchedSignals)
        sigaction(signal, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    for (const int signal : WatchedSignals)
        std::signal(signal, SIG_DFL);
    for (int& fd : g_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalWatcher::readSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(g_fds[1], &byte, 1);
    emit interrupted();
}
