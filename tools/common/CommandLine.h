#pragma once
// The command line of the tools (quorvet-cli, quorvet-devsim): one parser,
// CLI11, set up the same way for both, and one exit-status policy.

#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cmdline {

// Exit statuses of every tool (quorvet-cli change-ip adds 3).
inline constexpr int ExitDone = 0;   // done, also after --help
inline constexpr int ExitFailed = 1; // failed or refused
inline constexpr int ExitUsage = 2;  // the command line cannot be used

// A command line that cannot be used; what() says why, in one line.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What every tool's parser does alike: options in any order, the last of a
// repeated option counts, "-h" and "--help" on every (sub)command, at most
// one subcommand, and arguments it does not know are reported in our words.
// Subcommands added afterwards take the same settings.
void Prepare(CLI::App& app);

// What reading a command line gave.
struct TParsed {
    std::string Command; // the program and the subcommand read, e.g. "quorvet-cli search"
    bool Help = false;   // --help was asked for: show HelpText
    std::string HelpText;
    std::string Error; // empty when the command line is usable
};

// Reads args (the program's name left out). `check` runs after the parser
// has taken every argument and may raise TUsageError; so may the options'
// own callbacks.
TParsed Parse(CLI::App& app, const std::vector<std::string>& args,
              const std::function<void()>& check = {});

// The program's own help, with the options of every subcommand.
std::string ProgramHelp(const CLI::App& app);

// The policy: the help goes to out (ExitDone); an error to err as
// "COMMAND: why" and "Try 'COMMAND --help'." (ExitUsage); nullopt when the
// command is to run.
std::optional<int> Conclude(const TParsed& parsed, std::ostream& out, std::ostream& err);

} // namespace cmdline
