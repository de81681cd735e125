#include "base/uIniFile.h"

#include "base/uAsciiText.h"
#include "base/uFileRead.h"

namespace {

std::string Trim(const std::string& s) {
    auto isBlank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

} // namespace

std::optional<TIniFile> TIniFile::Load(const std::string& path) {
    std::string text;
    switch (ReadRegularFile(path, MaxFileSize, text)) {
    case TFileRead::Ok:
    case TFileRead::TooLarge: // its beginning is the settings
        return Parse(text);
    default:
        return std::nullopt;
    }
}

TIniFile TIniFile::Parse(const std::string& text) {
    TIniFile ini;
    Section* current = nullptr;
    // Editors on Windows save UTF-8 with a byte-order mark; it is not part of
    // the first line, where it would hide a section header.
    const std::string bom = "\xEF\xBB\xBF";
    std::size_t pos = text.compare(0, bom.size(), bom) == 0 ? bom.size() : 0;
    while (pos <= text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = Trim(text.substr(pos, nl - pos));
        pos = nl + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            ini.sections_.push_back({Trim(line.substr(1, line.size() - 2)), {}});
            current = &ini.sections_.back();
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string::npos || current == nullptr)
            continue;
        current->keys.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
    }
    return ini;
}

const TIniFile::Section* TIniFile::Find(const std::string& section) const {
    for (const Section& s : sections_)
        if (SameText(s.name, section))
            return &s;
    return nullptr;
}

bool TIniFile::HasSection(const std::string& section) const {
    return Find(section) != nullptr;
}

std::optional<std::string> TIniFile::Value(const std::string& section,
                                           const std::string& key) const {
    const Section* s = Find(section);
    if (s == nullptr)
        return std::nullopt;
    for (const Key& k : s->keys)
        if (SameText(k.name, key))
            return k.value;
    return std::nullopt;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
    return Value(section, key).value_or(def);
}
