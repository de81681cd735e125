#include "platform/FileAppend.h"

#include "platform/win32/SystemError.h"

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

std::string AppendTargetProblem(const std::string& path) noexcept {
    try {
        if (path.empty() || path.find('\0') != std::string::npos)
            return "Not a usable file name";
        const auto systemText = [](DWORD code) {
            const std::string text = win32::SystemErrorMessage(code);
            return text.empty() ? "system error " + std::to_string(code) : text;
        };
        // Looked at first: pipes and devices ("\\.\pipe\...", "CON") have no
        // attributes of a file on disk.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return "Is a directory";
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE))
            return "Not a regular file";
        const HANDLE file =
            CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return systemText(GetLastError());
        std::string problem;
        if (GetFileType(file) != FILE_TYPE_DISK)
            problem = "Not a regular file";
        CloseHandle(file);
        return problem;
    } catch (...) {
        return "Out of memory";
    }
}

} // namespace platform
