#pragma once
// quorvet-cli's command line: the program's parser with its subcommands
// "search", "change-ip", "doctor" and "help", and a run of one command.

#include "ChangeIpCommand.h"
#include "DoctorCommand.h"
#include "SearchCommand.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

// The command line read into the options of its subcommand.
class TCliCommandLine {
public:
    enum class TCommand { None, Search, ChangeIp, Doctor };

    // Outside the test network a command that sends needs --real-network.
    explicit TCliCommandLine(bool insideTestNetwork);
    ~TCliCommandLine();

    // Reads args (the program's name left out).
    cmdline::TParsed Parse(const std::vector<std::string>& args);
    TCommand Command() const;

    TSearchCommandOptions Search;
    TChangeIpOptions ChangeIp;
    TDoctorOptions Doctor;

private:
    std::unique_ptr<CLI::App> app_;
    CLI::App* search_ = nullptr;
    CLI::App* changeIp_ = nullptr;
    CLI::App* help_ = nullptr;
    CLI::App* doctor_ = nullptr;
    bool insideTestNetwork_;
};

// The whole program: reads the command line, runs the command; returns the
// exit status.
int RunCli(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
           std::ostream& err);

// The exit status once a command's result has been written to out (flushed
// here): when out could not take all of it, "quorvet-cli: cannot write to
// standard output: REASON" goes to err and a status of success (0, or 3 of
// change-ip) becomes ExitFailed. reason: the system's text, if known.
int ConcludeOutput(int status, std::ostream& out, const std::string& reason, std::ostream& err);

// The subcommand change-ip alone; args are those after "change-ip".
// Returns the usage error, empty when the command line is usable (or asks
// for the help).
std::string ParseChangeIpArgs(const std::vector<std::string>& args, TChangeIpOptions& options);
int CmdChangeIp(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
                std::ostream& err);
