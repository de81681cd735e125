#include "platform/FileVersion.h"

#include "base/uFileRead.h"

#include <algorithm>
#include <array>
#include <vector>

namespace platform {

namespace {

// Marker layout, written by cmake/Version.cmake into every program file that
// links quorvet_version:
//   12 bytes  tag "QVFILEVERS" 0x7E 0xA5
//    8 bytes  four 16-bit little-endian numbers a, b, c, d
//    4 bytes  32-bit little-endian check: CheckOf(a, b, c, d)
constexpr std::size_t TagSize = 12;
constexpr std::size_t MarkerSize = 24;

// The tag is kept scrambled here so that this reader, linked into a program,
// does not itself look like a marker.
constexpr std::array<unsigned char, TagSize> ScrambledTag = {
    'Q' ^ 0x5A, 'V' ^ 0x5A, 'F' ^ 0x5A, 'I' ^ 0x5A, 'L' ^ 0x5A,  'E' ^ 0x5A,
    'V' ^ 0x5A, 'E' ^ 0x5A, 'R' ^ 0x5A, 'S' ^ 0x5A, 0x7E ^ 0x5A, 0xA5 ^ 0x5A};

// Program files are a few megabytes; a sanitizer build may be tens. Reading
// stops here so that a huge file cannot stall the caller.
constexpr std::size_t MaxScan = 256u * 1024 * 1024;
constexpr std::size_t Chunk = 1024 * 1024;

std::string Tag() {
    std::string tag(TagSize, '\0');
    for (std::size_t i = 0; i < TagSize; ++i)
        tag[i] = static_cast<char>(ScrambledTag[i] ^ 0x5A);
    return tag;
}

std::uint32_t CheckOf(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
    // Must match the formula in cmake/Version.cmake.
    return ((std::uint32_t{a} << 16 | b) ^ (std::uint32_t{c} << 16 | d) ^ 0x51564652u);
}

std::uint16_t U16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                      static_cast<unsigned char>(p[1]) << 8);
}

std::uint32_t U32(const char* p) {
    return static_cast<std::uint32_t>(U16(p)) | static_cast<std::uint32_t>(U16(p + 2)) << 16;
}

// The version of a complete marker at p, or empty when its check fails.
std::string Decode(const char* p) {
    const std::uint16_t a = U16(p + 12), b = U16(p + 14), c = U16(p + 16), d = U16(p + 18);
    if (U32(p + 20) != CheckOf(a, b, c, d))
        return {};
    return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
           std::to_string(d);
}

} // namespace

std::string VersionMarkerBytes(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
    std::string m = Tag();
    for (std::uint16_t v : {a, b, c, d}) {
        m += static_cast<char>(v & 0xFF);
        m += static_cast<char>(v >> 8);
    }
    const std::uint32_t check = CheckOf(a, b, c, d);
    for (int i = 0; i < 4; ++i)
        m += static_cast<char>((check >> (8 * i)) & 0xFF);
    return m;
}

std::string ReadFileVersion(const std::string& path) {
    try {
        // Only plain files: opening a pipe or a device could block for ever.
        TRegularFile in(path);
        if (in.Status() != TFileRead::Ok)
            return {};
        const std::string tag = Tag();
        // A window of the last chunk plus what is needed to finish a marker
        // that straddles two chunks.
        std::vector<char> buf;
        buf.reserve(Chunk + MarkerSize);
        std::size_t total = 0;
        while (total < MaxScan) {
            const std::size_t keep = buf.size();
            buf.resize(keep + Chunk);
            const long long read = in.Read(buf.data() + keep, Chunk);
            if (read <= 0)
                break;
            const auto got = static_cast<std::size_t>(read);
            buf.resize(keep + got);
            total += got;
            auto from = buf.begin();
            for (;;) {
                const auto hit = std::search(from, buf.end(), tag.begin(), tag.end());
                if (hit == buf.end())
                    break;
                const auto offset = static_cast<std::size_t>(hit - buf.begin());
                if (buf.size() - offset < MarkerSize) {
                    from = hit;
                    break; // needs the next chunk
                }
                std::string version = Decode(buf.data() + offset);
                if (!version.empty())
                    return version;
                from = hit + 1;
            }
            // Carry the tail that may start a marker into the next round.
            const std::size_t tail = std::min(buf.size(), MarkerSize - 1);
            buf.erase(buf.begin(), buf.end() - static_cast<std::ptrdiff_t>(tail));
        }
    } catch (...) {
        // Unreadable: no version.
    }
    return {};
}

} // namespace platform
