#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace cmdline {

namespace {

// The subcommand read last, or the program itself.
const CLI::App& Current(const CLI::App& app) {
    const CLI::App* current = &app;
    while (!current->get_subcommands().empty())
        current = current->get_subcommands().front();
    return *current;
}

std::string CommandName(const CLI::App& app) {
    std::string name = app.get_name();
    for (const CLI::App* sub = &app; !sub->get_subcommands().empty();) {
        sub = sub->get_subcommands().front();
        name += " " + sub->get_name();
    }
    return name;
}

// CLI11's words for an option without its value are "--mac: 1 required
// MAC missing"; ours are those of the tools before it.
std::string ErrorText(const CLI::App& app, const CLI::ParseError& e) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        for (const CLI::Option* option : Current(app).get_options()) {
            const std::string name = option->get_name();
            if (!name.empty() && what.rfind(name + ":", 0) == 0)
                return name + " needs a value";
        }
    }
    return what;
}

// An argument nobody took: a command the program does not have, an option
// the command does not have, or a word where none belongs.
std::string ExtraText(const CLI::App& app, const std::string& arg) {
    const auto any = [](const CLI::App*) { return true; };
    if (!app.get_subcommands(any).empty() && app.get_subcommands().empty())
        return "unknown command '" + arg + "'";
    if (!arg.empty() && arg[0] == '-')
        return "unknown option '" + arg + "'";
    return "unexpected argument '" + arg + "'";
}

} // namespace

void Prepare(CLI::App& app) {
    // CLI11 takes "/x" for an option on Windows; the tools read the same
    // command lines on both systems.
    app.allow_windows_style_options(false);
    app.allow_extras();
    app.require_subcommand(0, 1);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag("-h,--help", "show this text");
}

TParsed Parse(CLI::App& app, const std::vector<std::string>& args,
              const std::function<void()>& check) {
    TParsed parsed;
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them so
    try {
        app.parse(reversed);
        const std::vector<std::string> extra = app.remaining(true);
        if (!extra.empty())
            throw TUsageError(ExtraText(app, extra.front()));
        if (check)
            check();
    } catch (const CLI::CallForHelp&) {
        parsed.Help = true;
    } catch (const CLI::CallForAllHelp&) {
        parsed.Help = true;
    } catch (const CLI::ParseError& e) {
        parsed.Error = ErrorText(app, e);
    } catch (const TUsageError& e) {
        parsed.Error = e.what();
    }
    parsed.Command = CommandName(app);
    // The help of the subcommand read, or the program's (All: with the
    // options of every subcommand).
    if (parsed.Help)
        parsed.HelpText = app.help("", CLI::AppFormatMode::All);
    return parsed;
}

std::string ProgramHelp(const CLI::App& app) {
    return app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::All);
}

std::optional<int> Conclude(const TParsed& parsed, std::ostream& out, std::ostream& err) {
    if (parsed.Help) {
        out << parsed.HelpText;
        return ExitDone;
    }
    if (!parsed.Error.empty()) {
        err << parsed.Command << ": " << parsed.Error << "\n"
            << "Try '" << parsed.Command << " --help'.\n";
        return ExitUsage;
    }
    return std::nullopt;
}

} // namespace cmdline
