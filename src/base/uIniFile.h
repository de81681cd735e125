#pragma once
// Initialisation-style settings file: sections, key=value lines,
// case-insensitive names. The whole file is read at once; a file is never
// written here, but WithValue gives the text with one value set, for a store
// that writes its file back.

#include <optional>
#include <string>
#include <vector>

class TIniFile {
public:
    // Files larger than this are read only up to it: a settings file is a few
    // kilobytes, and a huge or endless file must not exhaust memory.
    static constexpr std::size_t MaxFileSize = 1024 * 1024;

    // Reads the file; nullopt when it does not exist, is no regular file or
    // cannot be read.
    static std::optional<TIniFile> Load(const std::string& path);
    // Parses settings text (the file's content).
    static TIniFile Parse(const std::string& text);

    // `text` with the value of `key` in `section` set to `value`: the key's
    // line (the one Value reads) is replaced, a missing key is added at the end
    // of its section, a missing section at the end of the text; every other
    // line stays as it is. Raises Exception for a value with a line break or
    // blanks at either end, or a section or key name that would not read back.
    static std::string WithValue(const std::string& text, const std::string& section,
                                 const std::string& key, const std::string& value);

    bool HasSection(const std::string& section) const;
    // The value of the first matching key in the first matching section.
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    // Value or the given default when the section or key is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;

private:
    struct Key {
        std::string name;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    const Section* Find(const std::string& section) const;
    std::vector<Section> sections_;
};
