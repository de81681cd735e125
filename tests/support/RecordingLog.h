#pragma once
// A log sink for tests: keeps every line the engine writes, in order.

#include "utils/LogSink.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

struct TLogLine {
    bool masked;
    int level;
    std::string text;
    bool operator==(const TLogLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const TLogLine& l) {
    return os << (l.masked ? "M" : "L") << l.level << " " << l.text;
}

struct TRecordingLog : TLogSink {
    void WriteLine(std::uint8_t level, const std::string& text) override {
        lines.push_back({false, level, text});
    }
    void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                         const std::string& text) override {
        maskedCategories.push_back(categories);
        lines.push_back({true, level, text});
    }
    bool Has(int level, const std::string& text) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const TLogLine& l) { return l.level == level && l.text == text; });
    }
    std::vector<TLogLine> lines;
    std::vector<int> maskedCategories;
};
