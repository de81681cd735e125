#include "utils/KavenLog.h"

#include "base/uDeviceText.h"

#include "platform/FileAppend.h"
#include "platform/LocalTime.h"

#include <cstdio>

std::string TEventLog::LevelMarker(std::uint8_t level) {
    switch (level) {
    case 1:
        return "[i]";
    case 2:
        return "[x]";
    case 3:
        return "[-]";
    default:
        return {};
    }
}

std::string TEventLog::TimestampNow() {
    const platform::TLocalTime t = platform::LocalTimeNow();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d:%02d %03d", t.Year % 100, t.Month,
                  t.Day, t.Hour, t.Minute, t.Second, t.Millisecond);
    return buf;
}

std::string TEventLog::FormatLine(const std::string& timestamp, std::uint8_t level,
                                  const std::string& message) {
    std::string line;
    line.reserve(timestamp.size() + message.size() + 8);
    line += timestamp;
    line += ' ';
    line += LevelMarker(level);
    line += ' ';
    // Read by the one rule for device texts, every control character shown
    // as a symbol, so that nothing acts on whatever shows the file; printable
    // text stays byte for byte. CR LF is the program's own line break (the
    // two-line messages "Socket Error # %d\r\n%s") and stays; device texts
    // have theirs made visible before they reach a message.
    const std::string text = DeviceTextToUtf8(message);
    for (std::size_t from = 0;;) {
        const std::size_t end = text.find("\r\n", from);
        line += VisibleText(std::string_view(text).substr(from, end - from));
        if (end == std::string::npos)
            break;
        line += "\r\n";
        from = end + 2;
    }
    line += "\r\n";
    return line;
}

void TEventLog::WriteLine(std::uint8_t level, const std::string& message) {
    if (!Enabled)
        return;
    try {
        const std::string line =
            FormatLine(Timestamps ? TimestampNow() : std::string(), level, message);
        // One append per line: the file is whole after every line, and a
        // failure (folder missing, read-only file, disk full) only loses it.
        if (!platform::AppendToFile(FileName, line))
            ++lost_;
    } catch (...) {
        // A log must never disturb the work it records.
        ++lost_;
    }
}

void TEventLog::WriteLineMasked(std::uint8_t categories, std::uint8_t level,
                                const std::string& message) {
    if ((categories & Mask) == 0)
        return;
    WriteLine(level, message);
}
