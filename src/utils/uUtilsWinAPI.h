#pragma once
// Thin services over the operating system: running a command line and
// waiting for it, and reading the version a program file carries.

#include <string>

// Starts the command line as a new process and waits for its end.
// hidden: no window and no console input for the process. timeLimitMs: -1
// (any negative value) waits without limit. Returns true when the process
// ended within the limit, false when the limit ran out first (the process
// is left running). Raises Exception "Unable to Create Process \"<command
// line>\"" when it cannot be started and "Process wait failed." when the
// wait fails. The command line is split into arguments, never given to a
// shell.
bool RunAndWait(const std::string& commandLine, bool hidden, int timeLimitMs);

// Runs command lines for the engines; tests substitute a recording one.
class TProcessRunner {
public:
    virtual ~TProcessRunner() = default;
    virtual bool RunAndWait(const std::string& commandLine, bool hidden, int timeLimitMs) = 0;
    // The runner that calls ::RunAndWait.
    static TProcessRunner& Default();
};

class TWinAPIUtils {
public:
    // "a.b.c.d" of the file, or an empty text for a file without a version or
    // one that cannot be read.
    static std::string GetFileVersion(const std::string& path);
};
