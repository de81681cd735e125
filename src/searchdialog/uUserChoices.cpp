#include "searchdialog/uUserChoices.h"

#include "base/uAsciiText.h"
#include "platform/UserSettingsStore.h"

#include <charconv>
#include <exception>
#include <utility>
#include <vector>

namespace userchoices {

namespace {

// The column names, by column, as they read in the store.
constexpr std::array<const char*, 6> kColumnNames = {"IP",         "MAC",         "Firmware",
                                                     "DeviceType", "Description", "Adapter"};

const char* const kFilterAll = "All";
const char* const kFilterProduction = "Production";

std::string ColumnWidthName(std::size_t column) {
    return std::string("SearchColumnWidth") + kColumnNames[column];
}

} // namespace

std::optional<std::string> Read(platform::TUserSettingsStore* store, const std::string& name) {
    if (!store) {
        return std::nullopt;
    }
    try {
        return store->ReadString(kSubKey, name);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<int> ReadInt(platform::TUserSettingsStore* store, const std::string& name, int min,
                           int max) {
    const std::optional<std::string> text = Read(store, name);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    // Plain decimal digits only: no sign, no blanks, nothing after them.
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [rest, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || rest != end || (*text)[0] == '-' || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

bool Write(platform::TUserSettingsStore* store, const std::string& name, const std::string& value) {
    if (!store) {
        return false;
    }
    try {
        // Each write replaces the whole store: only for a value that changed.
        if (store->ReadString(kSubKey, name) != value) {
            store->WriteString(kSubKey, name, value);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

TSearchDialogChoices ReadSearchDialogChoices(platform::TUserSettingsStore* store) {
    TSearchDialogChoices c;
    if (!store) {
        return c;
    }
    c.Width = ReadInt(store, "SearchDialogWidth", 1, kMaxWindowExtent);
    c.Height = ReadInt(store, "SearchDialogHeight", 1, kMaxWindowExtent);
    for (std::size_t i = 0; i < kListColumns; ++i) {
        c.ColumnWidths[i] = ReadInt(store, ColumnWidthName(i), kMinColumnWidth, kMaxColumnWidth);
    }
    if (const auto sort = Read(store, "SearchSortColumn")) {
        for (std::size_t i = 0; i < kColumnNames.size(); ++i) {
            if (SameText(*sort, kColumnNames[i])) {
                c.SortColumn = static_cast<int>(i);
            }
        }
    }
    if (const auto filter = Read(store, "SearchFilter")) {
        if (SameText(*filter, kFilterAll)) {
            c.ProductionOnly = false;
        } else if (SameText(*filter, kFilterProduction)) {
            c.ProductionOnly = true;
        }
    }
    return c;
}

void WriteSearchDialogChoices(platform::TUserSettingsStore* store,
                              const TSearchDialogChoices& choices) {
    std::vector<std::pair<std::string, std::string>> values;
    const auto number = [&values](const std::string& name, const std::optional<int>& v) {
        if (v) {
            values.emplace_back(name, std::to_string(*v));
        }
    };
    number("SearchDialogWidth", choices.Width);
    number("SearchDialogHeight", choices.Height);
    for (std::size_t i = 0; i < kListColumns; ++i) {
        number(ColumnWidthName(i), choices.ColumnWidths[i]);
    }
    if (choices.SortColumn && *choices.SortColumn >= 0 &&
        static_cast<std::size_t>(*choices.SortColumn) < kColumnNames.size()) {
        values.emplace_back("SearchSortColumn",
                            kColumnNames[static_cast<std::size_t>(*choices.SortColumn)]);
    }
    if (choices.ProductionOnly) {
        values.emplace_back("SearchFilter",
                            *choices.ProductionOnly ? kFilterProduction : kFilterAll);
    }
    for (const auto& [name, value] : values) {
        if (!Write(store, name, value)) {
            return; // the rest would fail alike
        }
    }
}

} // namespace userchoices
