#include "platform/StandardOutput.h"

#include <cstring>

namespace platform {

namespace {

// The length of the part of text that ends on a whole UTF-8 character: a
// console write converts whole characters only.
std::size_t WholeCharacters(const char* text, std::size_t size) {
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto b = static_cast<unsigned char>(text[size - back]);
        if ((b & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        return need > back ? size - back : size;
    }
    return size;
}

} // namespace

TStandardOutput::TStandardOutput() {
    setp(buffer_, buffer_ + sizeof buffer_);
    Open();
}

TStandardOutput::~TStandardOutput() {
    Flush(true);
}

bool TStandardOutput::Flush(bool all) {
    const auto pending = static_cast<std::size_t>(pptr() - pbase());
    if (pending == 0)
        return true; // a closed output is no failure while nothing is written to it
    if (!error_.empty()) {
        setp(buffer_, buffer_ + sizeof buffer_);
        return false;
    }
    const std::size_t ready = all ? pending : WholeCharacters(pbase(), pending);
    if (ready > 0 && !Write(pbase(), ready)) {
        if (error_.empty())
            error_ = "write error";
        setp(buffer_, buffer_ + sizeof buffer_);
        return false;
    }
    // An unfinished character waits at the start for its other bytes.
    std::memmove(buffer_, buffer_ + ready, pending - ready);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(pending - ready));
    return true;
}

TStandardOutput::int_type TStandardOutput::overflow(int_type c) {
    if (!Flush(false))
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize TStandardOutput::xsputn(const char* data, std::streamsize size) {
    std::streamsize done = 0;
    while (done < size) {
        if (epptr() == pptr() && !Flush(false))
            break;
        const std::streamsize room = epptr() - pptr();
        if (room == 0)
            break; // three bytes of an unfinished character and nothing else fits
        const std::streamsize n = size - done < room ? size - done : room;
        std::memcpy(pptr(), data + done, static_cast<std::size_t>(n));
        pbump(static_cast<int>(n));
        done += n;
    }
    return done;
}

int TStandardOutput::sync() {
    return Flush(true) ? 0 : -1;
}

} // namespace platform
