// SPDX-License-Identifier: MIT
#include "app/QuitOnTermination.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane::app {

namespace {

int signalPipe[2] = {-1, -1};

// Only writes one byte: the event loop does the rest.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

QuitOnTermination::QuitOnTermination(WindDown windDown) : windDown_(std::move(windDown))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        terminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// exit(), not quit(): quit() asks every window to close, and a sheet that
// may not be closed (a bulk run's progress) would keep the process alive
// until the session kills it.
void QuitOnTermination::terminationRequested()
{
    if (windingDown_ || !windDown_) {
        QCoreApplication::exit(0);
        return;
    }
    windingDown_ = true;
    windDown_([] { QCoreApplication::exit(0); });
}

QuitOnTermination::~QuitOnTermination()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    if (signalPipe[0] >= 0) {
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
}

}  // namespace kelvane::app
