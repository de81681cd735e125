#pragma once
// Reading a file whose name someone else chose (a settings file beside the
// program, a file in the user's configuration, a test network's description).
// Only a regular file is read: a pipe, a device or a folder of that name is
// refused before any byte is read, and opening never waits for a writer. What
// is read is bounded, so an endless or huge file cannot stall the caller or
// fill its memory.

#include <cstddef>
#include <cstdint>
#include <string>

enum class TFileRead {
    Ok,
    Missing,    // no file of that name (or a path through a missing folder)
    NotRegular, // a folder, pipe, device or socket
    TooLarge,   // more bytes than the caller's bound; the text holds the first ones
    Failed,     // no access, a read error, an empty or impossible name
};

// One regular file opened for reading. The file stays open until the object
// goes; Read goes on from where the last one stopped.
class TRegularFile {
public:
    explicit TRegularFile(const std::string& path);
    ~TRegularFile();
    TRegularFile(const TRegularFile&) = delete;
    TRegularFile& operator=(const TRegularFile&) = delete;

    // Ok when the file is open; otherwise why not.
    TFileRead Status() const { return status_; }
    // Up to size bytes into buffer; the count read, 0 at the end of the file,
    // -1 on a read error (or when the file is not open).
    long long Read(char* buffer, std::size_t size);

private:
    TFileRead status_ = TFileRead::Failed;
    std::intptr_t handle_ = -1; // the system's descriptor or handle
};

// text := the whole file when it is a regular file of at most maxSize bytes.
// TooLarge leaves its first maxSize bytes in text; any other failure leaves
// text empty. Never raises.
TFileRead ReadRegularFile(const std::string& path, std::size_t maxSize, std::string& text);
