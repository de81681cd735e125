#pragma once
// What the search engine needs of a log: two write operations. The event log
// file (KavenLog) is one such sink; tests use a recording one.

#include <cstdint>
#include <string>

class TLogSink {
public:
    virtual ~TLogSink() = default;
    virtual void WriteLine(std::uint8_t level, const std::string& message) = 0;
    virtual void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                                 const std::string& message) = 0;
};
