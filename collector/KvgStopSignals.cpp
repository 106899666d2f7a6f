#include "KvgStopSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

const int kStopSignals[] = {SIGTERM, SIGINT};
int g_pipe[2] = {-1, -1};

void OnStopSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &number, 1);
    errno = savedErrno;
}

void SetHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a database call under way carries on
    for (int s : kStopSignals) ::sigaction(s, &action, nullptr);
}

}  // namespace

TStopSignals::TStopSignals(QObject* parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TStopSignals::ReadSignal);
    SetHandlers(OnStopSignal);
}

TStopSignals::~TStopSignals()
{
    if (!notifier_) return;
    SetHandlers(SIG_DFL);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TStopSignals::ReadSignal()
{
    unsigned char number = 0;
    while (::read(g_pipe[0], &number, 1) == 1) emit StopRequested(number);
}
