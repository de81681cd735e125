#pragma once
// Device replies built byte by byte for tests with a fake network.

#include <cstddef>
#include <string>

// A 30-byte discovery reply from MAC 00-20-4A-00-hi-lo.
inline std::string Discovery(int macHi, int macLo) {
    std::string r(30, '\0');
    const unsigned char mac[] = {0x00,
                                 0x20,
                                 0x4A,
                                 0x00,
                                 static_cast<unsigned char>(macHi),
                                 static_cast<unsigned char>(macLo)};
    for (int i = 0; i < 6; ++i)
        r[static_cast<std::size_t>(24 + i)] = static_cast<char>(mac[i]);
    return r;
}

// A 130-byte info or setup reply: kind, version a.b.c, model code, status
// byte, and the description at the reply's offset (4 info, 36 setup).
inline std::string Reply(int kind, int a, int b, int c, int model, const std::string& text,
                         std::size_t offset, char status = 'S') {
    std::string r(130, '\0');
    r.replace(offset, text.size(), text);
    r[81] = status;
    r[82] = static_cast<char>(kind);
    r[83] = static_cast<char>(a);
    r[84] = static_cast<char>(b);
    r[85] = static_cast<char>(c);
    r[86] = static_cast<char>(model);
    return r;
}
