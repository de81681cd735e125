#pragma once
// Append-only text log file: one line per write, each line opened, written,
// flushed and closed on its own so the file is complete after every line.
// Writing never raises; a line that cannot be written is lost.

#include "utils/LogSink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

class TEventLog : public TLogSink {
public:
    TEventLog() = default;
    explicit TEventLog(std::string fileName, bool timestamps = true, std::uint8_t mask = 0)
        : FileName(std::move(fileName)), Timestamps(timestamps), Mask(mask) {}

    std::string FileName;   // full path of the log file
    bool Timestamps = true; // lines begin with "yy-mm-dd hh:nn:ss zzz"
    bool Enabled = true;    // false: nothing is written, no file is created
    std::uint8_t Mask = 0;  // categories WriteLineMasked lets through

    // Level 1 "[i]" information, 2 "[x]" error, 3 "[-]", any other: no marker.
    void WriteLine(std::uint8_t level, const std::string& message) override;
    // Writes only when categories and Mask share a bit.
    void WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                         const std::string& message) override;

    // The line as written, CR LF included; timestamp is the text before the
    // first blank (empty when timestamps are off). The message is written as
    // VisibleText (base/uDeviceText.h) shows it: UTF-8, its control characters
    // as symbols, except CR LF, the program's own line break.
    static std::string FormatLine(const std::string& timestamp, std::uint8_t level,
                                  const std::string& message);
    static std::string LevelMarker(std::uint8_t level);
    // The current local time as "yy-mm-dd hh:nn:ss zzz".
    static std::string TimestampNow();

    // How many lines could not be written so far (the work goes on; a caller
    // that must tell can).
    std::size_t LostLines() const { return lost_; }

private:
    std::size_t lost_ = 0;
};
