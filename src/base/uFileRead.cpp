// The reading loop both systems share; opening and reading are the system's
// (posix/, win32/).

#include "base/uFileRead.h"

TFileRead ReadRegularFile(const std::string& path, std::size_t maxSize, std::string& text) {
    text.clear();
    try {
        TRegularFile file(path);
        if (file.Status() != TFileRead::Ok)
            return file.Status();
        // The size the system reports is not trusted: a file may grow while it
        // is read, and some report 0. One byte beyond the bound tells.
        constexpr std::size_t Chunk = 64 * 1024;
        for (;;) {
            const std::size_t have = text.size();
            const std::size_t left = maxSize - have;
            const std::size_t want = left < Chunk ? left + 1 : Chunk;
            text.resize(have + want);
            const long long got = file.Read(text.data() + have, want);
            if (got < 0) {
                text.clear();
                return TFileRead::Failed;
            }
            text.resize(have + static_cast<std::size_t>(got));
            if (got == 0)
                return TFileRead::Ok;
            if (text.size() > maxSize) {
                text.resize(maxSize);
                return TFileRead::TooLarge;
            }
        }
    } catch (...) {
        // Out of memory for a bound the caller chose too large.
        text.clear();
        return TFileRead::Failed;
    }
}
