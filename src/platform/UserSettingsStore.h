#pragma once
// The program's per-user settings store, in place of a per-user registry key.
// The key is addressed by its registry path ("\Software\Vendor\Program").

#include <memory>
#include <optional>
#include <string>

namespace platform {

class TUserSettingsStore {
public:
    virtual ~TUserSettingsStore() = default;

    // Opens the key for reading and writing, creating it when missing. Raises
    // Exception when it cannot be opened or created.
    static std::unique_ptr<TUserSettingsStore> OpenOrCreate(const std::string& keyPath);

    // The string value `name` of sub-key `subKey`; nullopt when the sub-key or
    // the value is missing. Raises Exception on a read error or a value that is
    // not a string.
    virtual std::optional<std::string> ReadString(const std::string& subKey,
                                                  const std::string& name) = 0;

    // Sets the string value `name` of sub-key `subKey`, creating the sub-key;
    // every other value stays as it is. Raises Exception when the store cannot
    // be written (a read-only store, a value that is not one line of text).
    virtual void WriteString(const std::string& subKey, const std::string& name,
                             const std::string& value) = 0;

    // Where the store lives, for messages and tests.
    virtual std::string Location() const = 0;
};

} // namespace platform
