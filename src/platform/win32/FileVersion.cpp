// The version of a program file from its version resource.

#include "platform/FileVersion.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace platform {

std::string ReadFileVersion(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return {};
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return {};
    std::vector<unsigned char> info(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data()))
        return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS));
    return text;
}

} // namespace platform
