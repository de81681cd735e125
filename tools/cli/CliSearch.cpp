#include "CliSearch.h"

#include "platform/ProgramFile.h"
#include "utils/uUtilsConvert.h"

#include <exception>
#include <filesystem>

std::string DefaultSettingsFile() {
    try {
        return (std::filesystem::path(platform::ProgramFilePath()).parent_path() / "Quorvet.ini")
            .string();
    } catch (const std::exception&) {
        return {};
    }
}

bool TakeSearchOption(const std::vector<std::string>& args, std::size_t& i, TSearchOptions& options,
                      std::string& error) {
    const std::string& a = args[i];
    if (a != "--settings" && a != "--timeout")
        return false;
    if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return true;
    }
    const std::string& value = args[++i];
    if (a == "--settings") {
        options.Settings = value;
    } else {
        options.Timeout = StrToIntOpt(value);
        if (!options.Timeout)
            error = "'" + value + "' is not a valid integer value";
    }
    return true;
}

void ConfigureSearch(TXportSearch& engine, const TSearchOptions& options) {
    const std::string settings = options.Settings.value_or(DefaultSettingsFile());
    if (!settings.empty())
        engine.LoadSettings(settings);
    if (options.Timeout)
        engine.ReadTimeout = TXportSearch::EffectiveReadTimeout(*options.Timeout);
}
