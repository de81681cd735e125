#pragma once
// Starting a program from a command line and waiting for it with a time limit.
// The command line names the program; it is never handed to a shell.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class TProcessWait { Ended, TimedOut, Failed };

// Where the standard output and error of a new process go.
enum class TProcessOutput {
    Inherit, // ours
    Discard, // nowhere (and no console input either)
};

class TProcess {
public:
    // Starts the command line as a new process in its own process group.
    // hidden: the process gets no window and no console input. Returns
    // nullptr when the program cannot be started.
    static std::unique_ptr<TProcess> Start(const std::string& commandLine, bool hidden,
                                           TProcessOutput output = TProcessOutput::Inherit);

    // Releases the handles; a process still running is left running.
    virtual ~TProcess() = default;
    // Waits for the end of the process; timeLimitMs < 0 waits without limit.
    virtual TProcessWait Wait(int timeLimitMs) = 0;
    // The exit status once Wait has returned Ended; -1 before that, and for
    // a process ended by a signal.
    virtual int ExitStatus() const = 0;
};

// What a run of RunForOutput gave.
struct TProcessOutputText {
    bool Started = false; // false: the program could not be started
    TProcessWait Wait = TProcessWait::Failed;
    int ExitStatus = -1; // as TProcess::ExitStatus, once ended
    std::string Text;    // its standard output, at most maxBytes of it
};

// Runs the command line hidden (no console input, standard error discarded)
// and collects its standard output. Bounded in time and size: a process
// still running after timeLimitMs, or still writing after maxBytes, is
// stopped (TimedOut), so that a read-only query can never stall the caller.
TProcessOutputText RunForOutput(const std::string& commandLine, int timeLimitMs,
                                std::size_t maxBytes);

// The arguments of a command line by the Windows rules: blanks and tabs
// separate, double quotes group (a quote inside quotes is written \" or ""),
// backslashes are literal unless they precede a quote. An unclosed quote runs
// to the end of the line.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

} // namespace platform
