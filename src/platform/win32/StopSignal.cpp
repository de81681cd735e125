#include "platform/StopSignal.h"

#include "platform/StopSignalFlag.h"

#include <windows.h>

namespace platform {

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        stopsignal::gRequested = 1;
        return TRUE; // handled: the program ends on its own
    default:
        return FALSE;
    }
}

} // namespace

TStopSignal::TStopSignal() {
    stopsignal::gRequested = 0;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TStopSignal::~TStopSignal() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

} // namespace platform
