// The settings-file reader: any text parses, every section and key it
// names is found again, and the engine takes only bounded values from it.
// Input: the file's content.
#include "FuzzSupport.h"
#include "base/uIniFile.h"
#include "search/uXPortSearch.h"

#include <fstream>
#include <unistd.h>

namespace {

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One file for every input of this process.
const std::string& SettingsPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/quorvet-fuzz-settings-" +
               std::to_string(getpid()) + ".ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = FuzzText(data, size);
    const TIniFile ini = TIniFile::Parse(text);

    // A plain "[name]" line makes a section that is found by that name.
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trimmed(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = line.substr(1, line.size() - 2);
            if (name.find_first_of("[]") == std::string::npos && Trimmed(name) == name &&
                name.find('\0') == std::string::npos)
                FUZZ_CHECK(ini.HasSection(name));
        }
    }
    FUZZ_CHECK(ini.ReadString("Connection", "ReadTimeout", "d") ==
               ini.Value("Connection", "ReadTimeout").value_or("d"));

    // The engine reads the same text from its file.
    {
        std::ofstream file(SettingsPath(), std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    TXportSearch search;
    search.LoadSettings(SettingsPath());
    FUZZ_CHECK(search.ReadTimeout >= -1 && search.ReadTimeout <= TXportSearch::MaxReadTimeout);
    for (int kind : {0, 1, 6, 9, 255})
        for (int model : {0, 1, 6, 255})
            search.LookupTypeName(kind, model);
    return 0;
}
