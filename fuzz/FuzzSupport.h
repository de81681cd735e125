#pragma once
// What every harness shares: a check that ends the run like a crash, so that
// the fuzzer keeps the input that broke a rule, and the input cut into text
// lines (the harnesses that take several texts read one per line, so that
// seeds stay readable).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: rule broken: %s\n", __FILE__, __LINE__, #condition);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline std::string FuzzText(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The first `count` lines of the text ("\n" ends a line; missing lines are
// empty). The last one takes the rest of the text, line breaks included.
inline std::vector<std::string> FuzzLines(const std::string& text, std::size_t count) {
    std::vector<std::string> lines(count);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos <= text.size(); ++i) {
        const std::size_t end = i + 1 == count ? std::string::npos : text.find('\n', pos);
        lines[i] = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return lines;
}

// -1, 0 or 1: the sign of a comparison's result.
inline int FuzzSign(int value) {
    return (value > 0) - (value < 0);
}
