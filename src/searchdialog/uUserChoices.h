#pragma once
// What the user chose in the windows (list size and columns, filter, the last
// device address), kept across runs in sub-key "UserChoices" of the per-user
// settings store. Nothing here raises: a store that cannot be read or written
// leaves the windows at their design defaults, and a value that makes no
// sense is passed over on its own, the others still count.

#include <array>
#include <optional>
#include <string>

namespace platform {
class TUserSettingsStore;
}

namespace userchoices {

// The store's sub-key of these values.
inline constexpr const char* kSubKey = "UserChoices";

// The value `name`; nullopt without a store, when missing or unreadable.
std::optional<std::string> Read(platform::TUserSettingsStore* store, const std::string& name);
// A decimal value within [min, max]; nullopt for anything else.
std::optional<int> ReadInt(platform::TUserSettingsStore* store, const std::string& name, int min,
                           int max);
// Sets the value, unless the store holds it already. False when it could not
// be written (or there is no store).
bool Write(platform::TUserSettingsStore* store, const std::string& name, const std::string& value);

// The search dialog's list columns that can be seen (the adapter's cannot).
inline constexpr std::size_t kListColumns = 5;

// Bounds of what is taken from the store; beyond them a value is garbage.
inline constexpr int kMinColumnWidth = 8;
inline constexpr int kMaxColumnWidth = 2000;
inline constexpr int kMaxWindowExtent = 16384;

struct TSearchDialogChoices {
    std::optional<int> Width, Height;
    std::array<std::optional<int>, kListColumns> ColumnWidths;
    std::optional<int> SortColumn; // a column of the list, the adapter's included
    std::optional<bool> ProductionOnly;
};

TSearchDialogChoices ReadSearchDialogChoices(platform::TUserSettingsStore* store);
// Writes the values that are set; stops at the first one that cannot be written.
void WriteSearchDialogChoices(platform::TUserSettingsStore* store,
                              const TSearchDialogChoices& choices);

// The main window's device address: the last one picked or typed.
inline constexpr const char* kLastIPAddress = "LastIPAddress";

} // namespace userchoices
