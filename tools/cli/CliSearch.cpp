#include "CliSearch.h"

#include "platform/ProgramFile.h"
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
    try {
        return (std::filesystem::path(platform::ProgramFilePath()).parent_path() / "Quorvet.ini")
            .string();
    } catch (const std::exception&) {
        return {};
    }
}

void AddSearchOptions(CLI::App& command, TSearchOptions& options) {
    command
        .add_option_function<std::string>(
            "--settings", [&options](const std::string& file) { options.Settings = file; },
            "settings file to read ([Connection] ReadTimeout and\n"
            "[GlobalTypes] type names); default: Quorvet.ini beside\n"
            "this program. A missing file is not an error.")
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
}

void ConfigureSearch(TXportSearch& engine, const TSearchOptions& options) {
    const std::string settings = options.Settings.value_or(DefaultSettingsFile());
    if (!settings.empty())
        engine.LoadSettings(settings);
    if (options.Timeout)
        engine.ReadTimeout = TXportSearch::EffectiveReadTimeout(*options.Timeout);
}
