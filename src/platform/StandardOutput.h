#pragma once
// The standard output of a command-line tool as a stream buffer that keeps
// the reason of a failed write (a full disk, a closed or broken stream), so
// that the tool can say so and end with an error instead of success.
// On Windows a console takes the text as UTF-16, so that UTF-8 text shows
// right whatever the console's code page; a file or a pipe takes the bytes.

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string>

namespace platform {

class TStandardOutput final : public std::streambuf {
public:
    TStandardOutput();
    ~TStandardOutput() override; // writes what is left
    TStandardOutput(const TStandardOutput&) = delete;
    TStandardOutput& operator=(const TStandardOutput&) = delete;

    // Empty while everything so far has been written; else the system's text
    // for the first failure ("No space left on device"). After a failure the
    // stream takes nothing more.
    const std::string& Error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize size) override;
    int sync() override;

private:
    // Hands the buffer to the system; whole UTF-8 characters only unless all.
    bool Flush(bool all);
    // In posix/ and win32/: finds the standard output (error_ when there is
    // none) and writes to it.
    void Open();
    bool Write(const char* data, std::size_t size);

    char buffer_[4096];
    std::string error_;
    std::intptr_t handle_ = -1;
    bool console_ = false;
};

} // namespace platform
