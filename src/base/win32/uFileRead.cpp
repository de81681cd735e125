#include "base/uFileRead.h"

#include <windows.h>

namespace {

TFileRead FromError(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TFileRead::Missing
                                                                        : TFileRead::Failed;
}

HANDLE Handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

} // namespace

TRegularFile::TRegularFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return;
    // Looked at before it is opened: a folder cannot be read, and pipes and
    // devices ("\\.\pipe\...", "CON") have no attributes of a file on disk.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        status_ = FromError(GetLastError());
        return;
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        status_ = TFileRead::NotRegular;
        return;
    }
    // Shared, so that a writer or a deleter of the file is never held up.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        status_ = FromError(GetLastError());
        return;
    }
    // The check is on what was opened: only a file on disk is read.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        status_ = TFileRead::NotRegular;
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    status_ = TFileRead::Ok;
}

TRegularFile::~TRegularFile() {
    if (handle_ != -1)
        CloseHandle(Handle(handle_));
}

long long TRegularFile::Read(char* buffer, std::size_t size) {
    if (handle_ == -1)
        return -1;
    const DWORD want = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(Handle(handle_), buffer, want, &got, nullptr))
        return -1;
    return got;
}
