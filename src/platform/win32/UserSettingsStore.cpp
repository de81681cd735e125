// The per-user settings store is the registry under HKEY_CURRENT_USER.

#include "platform/UserSettingsStore.h"

#include "base/uErrors.h"
#include "platform/win32/SystemError.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace platform {

namespace {

// Larger string values are not settings of ours; refuse rather than
// allocate whatever the registry holds.
constexpr DWORD MaxValueBytes = 64 * 1024;

class TRegistryKey {
public:
    explicit TRegistryKey(HKEY key) : key_(key) {}
    ~TRegistryKey() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_;
};

std::string WithoutLeadingBackslash(const std::string& path) {
    std::size_t i = 0;
    while (i < path.size() && path[i] == '\\')
        ++i;
    return path.substr(i);
}

class TRegistrySettingsStore : public TUserSettingsStore {
public:
    TRegistrySettingsStore(HKEY key, std::string keyPath)
        : key_(key), keyPath_(std::move(keyPath)) {}

    std::optional<std::string> ReadString(const std::string& subKey,
                                          const std::string& name) override {
        HKEY opened = nullptr;
        const LONG openResult = RegOpenKeyExA(key_.Get(), WithoutLeadingBackslash(subKey).c_str(),
                                              0, KEY_READ, &opened);
        if (openResult == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (openResult != ERROR_SUCCESS)
            throw Exception("Failed to get data for '" + name + "'");
        const TRegistryKey sub(opened);
        DWORD type = 0;
        DWORD size = 0;
        LONG r = RegQueryValueExA(sub.Get(), name.c_str(), nullptr, &type, nullptr, &size);
        if (r == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (r != ERROR_SUCCESS || size > MaxValueBytes)
            throw Exception("Failed to get data for '" + name + "'");
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw Exception("Invalid data type for '" + name + "'");
        // One byte more, so that a value stored without its zero still ends.
        std::vector<char> buf(size + 1, '\0');
        DWORD got = size;
        r = RegQueryValueExA(sub.Get(), name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(buf.data()), &got);
        if (r != ERROR_SUCCESS || got > size)
            throw Exception("Failed to get data for '" + name + "'");
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw Exception("Invalid data type for '" + name + "'");
        return std::string(buf.data(), strnlen(buf.data(), got));
    }

    void WriteString(const std::string& subKey, const std::string& name,
                     const std::string& value) override {
        const Exception failed("Failed to set data for '" + name + "'");
        if (value.find('\0') != std::string::npos || value.size() >= MaxValueBytes)
            throw failed;
        HKEY created = nullptr;
        if (RegCreateKeyExA(key_.Get(), WithoutLeadingBackslash(subKey).c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &created,
                            nullptr) != ERROR_SUCCESS)
            throw failed;
        const TRegistryKey sub(created);
        if (RegSetValueExA(sub.Get(), name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)) != ERROR_SUCCESS)
            throw failed;
    }

    std::string Location() const override { return "HKEY_CURRENT_USER" + keyPath_; }

private:
    TRegistryKey key_;
    std::string keyPath_;
};

} // namespace

std::unique_ptr<TUserSettingsStore> TUserSettingsStore::OpenOrCreate(const std::string& keyPath) {
    const std::string relative = WithoutLeadingBackslash(keyPath);
    if (relative.empty() || keyPath.find('\0') != std::string::npos)
        throw Exception("Failed to create key " + keyPath);
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, relative.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    // One the user may not write is opened for reading: it still serves the
    // readers, and only writing fails.
    if (result == ERROR_ACCESS_DENIED)
        result = RegOpenKeyExA(HKEY_CURRENT_USER, relative.c_str(), 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS) {
        // The registry's text, then the key and the system's reason.
        const std::string reason = win32::SystemErrorMessage(static_cast<unsigned long>(result));
        throw Exception("Failed to create key " + keyPath + " (HKEY_CURRENT_USER\\" + relative +
                        (reason.empty() ? std::string() : ": " + reason) + ")");
    }
    return std::make_unique<TRegistrySettingsStore>(key, keyPath);
}

} // namespace platform
