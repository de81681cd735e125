#include "base/uIniFile.h"

#include "base/uAsciiText.h"
#include "base/uErrors.h"
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

std::string TIniFile::WithValue(const std::string& text, const std::string& section,
                                const std::string& key, const std::string& value) {
    const auto oneLine = [](const std::string& s) {
        return s.find_first_of("\r\n") == std::string::npos && Trim(s) == s;
    };
    if (!oneLine(value) || !oneLine(section) || !oneLine(key) || key.empty() || section.empty() ||
        key.find('=') != std::string::npos || key[0] == '[' || key[0] == ';' ||
        section.find(']') != std::string::npos)
        throw Exception("Invalid value for '" + key + "'");
    const std::string keyLine = key + "=" + value;
    // The same walk as Parse: the first section of that name, its first key.
    const std::string bom = "\xEF\xBB\xBF";
    std::size_t pos = text.compare(0, bom.size(), bom) == 0 ? bom.size() : 0;
    bool inSection = false;
    bool sectionSeen = false;
    std::size_t sectionEnd = std::string::npos; // after the section's last line
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        const std::size_t lineEnd = nl == std::string::npos ? text.size() : nl;
        const std::string line = Trim(text.substr(pos, lineEnd - pos));
        const std::size_t next = nl == std::string::npos ? text.size() : nl + 1;
        if (!line.empty() && line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            if (inSection)
                break; // the first such section ended
            inSection = SameText(Trim(line.substr(1, line.size() - 2)), section) && !sectionSeen;
            sectionSeen = sectionSeen || inSection;
            if (inSection)
                sectionEnd = next;
        } else if (inSection && !line.empty() && line[0] != ';') {
            const std::size_t eq = line.find('=');
            if (eq != std::string::npos && SameText(Trim(line.substr(0, eq)), key)) {
                // Keep the line's own ending (CR LF stays CR LF).
                const bool cr = lineEnd > pos && text[lineEnd - 1] == '\r';
                return text.substr(0, pos) + keyLine + (cr ? "\r" : "") + text.substr(lineEnd);
            }
            if (!line.empty())
                sectionEnd = next;
        }
        pos = next;
    }
    const auto withNewline = [](std::string s) {
        if (!s.empty() && s.back() != '\n')
            s += '\n';
        return s;
    };
    if (sectionSeen)
        return withNewline(text.substr(0, sectionEnd)) + keyLine + "\n" + text.substr(sectionEnd);
    return withNewline(text) + "[" + section + "]\n" + keyLine + "\n";
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
