#include "platform/FolderProbe.h"

#include <windows.h>

#include <cstdio>

namespace platform {

bool ProbeFolderWritable(const std::string& folder) noexcept {
    try {
        if (folder.empty() || folder.find('\0') != std::string::npos)
            return false;
        std::string base = folder;
        if (base.back() != '\\' && base.back() != '/')
            base += '\\';
        static LONG counter = 0;
        for (int attempt = 0; attempt < 16; ++attempt) {
            char name[64];
            std::snprintf(name, sizeof name, "test-%08lX%08lX%04lX.txt",
                          static_cast<unsigned long>(GetCurrentProcessId()),
                          static_cast<unsigned long>(GetTickCount()),
                          static_cast<unsigned long>(InterlockedIncrement(&counter) & 0xFFFF));
            const std::string path = base + name;
            // CREATE_NEW never opens an existing file (or link) of the name;
            // the file goes when its handle is closed, whatever happens.
            const HANDLE file =
                CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                const DWORD error = GetLastError();
                if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                    continue;
                return false;
            }
            static constexpr char Line[] = "test\r\n";
            DWORD written = 0;
            const bool ok = WriteFile(file, Line, sizeof Line - 1, &written, nullptr) &&
                            written == sizeof Line - 1;
            return CloseHandle(file) && ok;
        }
        return false;
    } catch (...) {
        return false;
    }
}

} // namespace platform
