#pragma once
// A console program's polite end: while a TStopSignal lives, an interrupt
// (Ctrl+C, SIGINT) or a termination request (SIGTERM; on Windows also
// Ctrl+Break and closing the console) no longer ends the process at once but
// is noted, so that the program can finish its line and leave with its own
// status. One object at a time; the previous handling returns with its end.
// On POSIX systems a broken pipe meanwhile is a failed write, not a signal.

namespace platform {

class TStopSignal {
public:
    TStopSignal();
    ~TStopSignal();
    TStopSignal(const TStopSignal&) = delete;
    TStopSignal& operator=(const TStopSignal&) = delete;

    // Whether a stop has been asked for since this object was made.
    bool Requested() const;
    // Waits up to `ms` milliseconds, less once a stop is asked for; returns
    // Requested().
    bool WaitFor(int ms) const;
    // As if the signal had come (tests, and a caller's own reasons to stop).
    static void Request();
};

} // namespace platform
