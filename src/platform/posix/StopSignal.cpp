#include "platform/StopSignal.h"

#include "platform/StopSignalFlag.h"

#include <signal.h>

namespace platform {

namespace {

struct sigaction gOldInt {};
struct sigaction gOldTerm {};
struct sigaction gOldPipe {};

void OnStop(int) {
    stopsignal::gRequested = 1;
}

} // namespace

TStopSignal::TStopSignal() {
    stopsignal::gRequested = 0;
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    // Restarted calls: the socket layer retries on EINTR anyway, and no
    // other wait of the program should end early with an error.
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &gOldInt);
    sigaction(SIGTERM, &sa, &gOldTerm);
    // A reader that has gone (a pipe closed by head) is a write error the
    // program reports and ends with, not a silent death.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &gOldPipe);
}

TStopSignal::~TStopSignal() {
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
    sigaction(SIGPIPE, &gOldPipe, nullptr);
}

} // namespace platform
