#include "TerminationWatcher.h"

#include <csignal>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include "common/log.h"

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// [0] is written by the handler, [1] read on the event loop; one watcher per process.
int s_pair[2] = {-1, -1};

void onSignal(int _signal)
{
    // Only async-signal-safe calls here. The default comes back at once, so a
    // second signal ends the process even if the event loop does not run.
    std::signal(_signal, SIG_DFL);
    const unsigned char number = static_cast<unsigned char>(_signal);
    const ssize_t written = ::write(s_pair[0], &number, 1);
    (void)written;
}
} // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent)
{
    if (s_pair[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pair) != 0) {
        LOG(lcApp, "can not watch for termination signals");
        return;
    }
    m_notifier = new QSocketNotifier(s_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        sigaction(number, &action, nullptr);
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier)
        return;
    for (int number : kSignals)
        std::signal(number, SIG_DFL);
    delete m_notifier;
    ::close(s_pair[0]);
    ::close(s_pair[1]);
    s_pair[0] = s_pair[1] = -1;
}

void TerminationWatcher::readSignal()
{
    unsigned char number = 0;
    if (::read(s_pair[1], &number, 1) != 1)
        return;
    LOG(lcApp, QString("quit on signal %1").arg(number));
    QCoreApplication::quit();
}
