#pragma once
// The four-part version number a program file carries from its build.

#include <cstdint>
#include <string>

namespace platform {

// "a.b.c.d" of the file, or an empty text when the file carries no version
// or cannot be read.
std::string ReadFileVersion(const std::string& path);

// The bytes the build embeds for a version (see cmake/Version.cmake); tests
// use it to craft files.
std::string VersionMarkerBytes(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);

} // namespace platform
