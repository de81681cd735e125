#include "CliApp.h"

#include <CLI/CLI.hpp>

TCliCommandLine::TCliCommandLine(bool insideTestNetwork)
    : app_(std::make_unique<CLI::App>("Runs the engines of the Quorvet utility from the command "
                                      "line.",
                                      "quorvet-cli")),
      insideTestNetwork_(insideTestNetwork) {
    cmdline::Prepare(*app_, "quorvet-cli " QUORVET_VERSION_STRING);
    app_->footer(
        std::string("Exit status of every command:\n"
                    "  0  done: search completed (also with no device found); change-ip sent its\n"
                    "     request or made its ARP-table entry and (unless --no-verify) a search\n"
                    "     found the device at its new address\n"
                    "  1  failed or refused (search: the message goes to standard error);\n"
                    "     also when standard output could not take the whole result\n"
                    "  2  usage error\n"
                    "  3  change-ip: sent, but the device was not seen at its new address\n"
                    "\n"
                    "Searching sends broadcasts on every adapter of this computer.") +
        (QUORVET_TESTNET_GUARD
             ? "\nThis developer build refuses to send outside the private test\n"
               "network (tests/net/qvnet run NETFILE -- ..., which sets QVNET_ID)\n"
               "unless --real-network is given."
             : ""));
    search_ = &AddSearchCommand(*app_, Search);
    changeIp_ = &AddChangeIpCommand(*app_, ChangeIp);
    doctor_ = &AddDoctorCommand(*app_, Doctor); // sends nothing: needs no --real-network
    help_ = app_->add_subcommand("help", "show this text");
}

TCliCommandLine::~TCliCommandLine() = default;

cmdline::TParsed TCliCommandLine::Parse(const std::vector<std::string>& args) {
    cmdline::TParsed parsed = cmdline::Parse(*app_, args, [this] {
        // A developer's stray run must not broadcast on, or re-address
        // devices of, the machine's real networks; a technician there says
        // so explicitly.
        if (search_->parsed()) {
            if (QUORVET_TESTNET_GUARD && !insideTestNetwork_ && !Search.RealNetwork)
                throw cmdline::TUsageError("not inside the private test network; add "
                                           "--real-network to search the real networks of "
                                           "this computer");
        } else if (changeIp_->parsed()) {
            CheckChangeIpOptions(*changeIp_, ChangeIp);
            if (QUORVET_TESTNET_GUARD && !insideTestNetwork_ && !ChangeIp.RealNetwork)
                throw cmdline::TUsageError("not inside the private test network; add "
                                           "--real-network to change a device on the real "
                                           "networks of this computer");
        } else if (!help_->parsed() && !doctor_->parsed()) {
            throw cmdline::TUsageError("no command given");
        }
    });
    if (help_->parsed()) {
        // "quorvet-cli help" shows what "quorvet-cli --help" shows.
        parsed = {};
        parsed.Command = app_->get_name();
        parsed.Help = true;
        parsed.HelpText = cmdline::ProgramHelp(*app_);
    }
    return parsed;
}

TCliCommandLine::TCommand TCliCommandLine::Command() const {
    if (search_->parsed())
        return TCommand::Search;
    if (changeIp_->parsed())
        return TCommand::ChangeIp;
    if (doctor_->parsed())
        return TCommand::Doctor;
    return TCommand::None;
}

int RunCli(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
           std::ostream& err) {
    TCliCommandLine line(insideTestNetwork);
    if (const auto status = cmdline::Conclude(line.Parse(args), out, err))
        return *status;
    switch (line.Command()) {
    case TCliCommandLine::TCommand::Search:
        return RunSearchCommand(line.Search, out, err);
    case TCliCommandLine::TCommand::ChangeIp:
        return RunChangeIpCommand(line.ChangeIp, out, err);
    case TCliCommandLine::TCommand::Doctor:
        return RunDoctorCommand(line.Doctor, out, err);
    case TCliCommandLine::TCommand::None:
        break;
    }
    return ExitUsage; // Parse has refused a command line without a command
}

int ConcludeOutput(int status, std::ostream& out, const std::string& reason, std::ostream& err) {
    out.flush();
    if (out.good())
        return status;
    err << "quorvet-cli: cannot write to standard output: "
        << (reason.empty() ? std::string("write error") : reason) << "\n";
    return status == ExitUsage ? status : ExitFailed;
}

namespace {

std::vector<std::string> ChangeIpArgs(const std::vector<std::string>& args) {
    std::vector<std::string> all{"change-ip"};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

} // namespace

std::string ParseChangeIpArgs(const std::vector<std::string>& args, TChangeIpOptions& options) {
    TCliCommandLine line(true);
    const cmdline::TParsed parsed = line.Parse(ChangeIpArgs(args));
    options = line.ChangeIp;
    return parsed.Error;
}

int CmdChangeIp(const std::vector<std::string>& args, bool insideTestNetwork, std::ostream& out,
                std::ostream& err) {
    return RunCli(ChangeIpArgs(args), insideTestNetwork, out, err);
}
