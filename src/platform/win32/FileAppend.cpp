#include "platform/FileAppend.h"

#include <windows.h>

namespace platform {

bool AppendToFile(const std::string& path, const std::string& data) noexcept {
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    // Shared so that a reader (or a second writer) never blocks the log.
    const HANDLE file =
        CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t chunk = data.size() - done > 0x10000000 ? 0x10000000 : data.size() - done;
        DWORD written = 0;
        if (!WriteFile(file, data.data() + done, static_cast<DWORD>(chunk), &written, nullptr) ||
            written == 0) {
            ok = false;
            break;
        }
        done += written;
    }
    CloseHandle(file);
    return ok;
}

} // namespace platform
