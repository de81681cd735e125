#include "CliSearch.h"

#include "base/uErrors.h"
#include "search/uSearchTargets.h"
#include "shell/uApplicationSpecifical.h"
#include "utils/uUtilsConvert.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <exception>
#include <filesystem>

bool InsideTestNetwork() {
    const char* id = std::getenv("QVNET_ID");
    return id && *id;
}

std::string DefaultSettingsFile() {
    // The program's own lookup, so that the tool and the window read one file.
    return uApplicationSpecifical::FindSettingsFile();
}

void AddSearchOptions(CLI::App& command, TSearchOptions& options) {
    command
        .add_option_function<std::string>(
            "--settings", [&options](const std::string& file) { options.Settings = file; },
            "settings file to read ([Connection] ReadTimeout,\n"
            "[GlobalTypes] type names and [Search] Targets);\n"
            "default: the first Quorvet.ini\n"
            "of: beside this program, $XDG_CONFIG_HOME/KavenLoggers,\n"
            "$XDG_CONFIG_DIRS/KavenLoggers (/etc/xdg). A missing file\n"
            "is not an error.")
        ->type_name("FILE");
    command
        .add_option_function<std::string>(
            "--timeout",
            [&options](const std::string& value) {
                // The settings file's forms: decimal, $hex or 0xhex.
                options.Timeout = StrToIntOpt(value);
                if (!options.Timeout)
                    throw cmdline::TUsageError("'" + value + "' is not a valid integer value");
            },
            "wait of every receive in milliseconds, overriding the\n"
            "settings (0 = do not wait, -1 = 3000 ms; at most 60000)")
        ->type_name("MS");
    command
        .add_option_function<std::vector<std::string>>(
            "--target",
            [&options](const std::vector<std::string>& targets) {
                for (const std::string& target : targets)
                    options.Targets.push_back(target);
                try {
                    ExpandTargets(options.Targets); // all of them, for the bound
                } catch (const Exception& e) {
                    throw cmdline::TUsageError(e.Message());
                }
            },
            "also ask these addresses by unicast, for devices behind a\n"
            "router: an address (10.30.1.7), a range (10.20.0.10-10.20.0.40)\n"
            "or a network up to /22 (10.20.0.0/24, without its network\n"
            "and broadcast address); repeatable, 4096 addresses at most,\n"
            "1000 queries a second. Replaces the settings file's\n"
            "[Search] Targets. A device found so and on no local\n"
            "adapter's subnet is listed with the adapter \"unicast\".")
        ->type_name("TARGET")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

bool SearchHasTargets(const TSearchOptions& options) {
    return !options.Targets.empty() ||
           !SettingsFileTargets(options.Settings.value_or(DefaultSettingsFile())).empty();
}

void ConfigureSearch(TXportSearch& engine, const TSearchOptions& options) {
    const std::string settings = options.Settings.value_or(DefaultSettingsFile());
    if (!settings.empty())
        engine.LoadSettings(settings);
    if (options.Timeout)
        engine.ReadTimeout = TXportSearch::EffectiveReadTimeout(*options.Timeout);
    if (!options.Targets.empty()) {
        engine.Targets = ExpandTargets(options.Targets);
        return;
    }
    try {
        engine.Targets = ExpandTargets(SettingsFileTargets(settings));
    } catch (const Exception& e) {
        throw Exception("Settings file " + settings + ", [Search] Targets: " + e.Message());
    }
}
