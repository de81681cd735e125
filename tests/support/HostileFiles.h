#pragma once
// POSIX names under which a reader finds no plain file, and a bounded call:
// a reader that opens a pipe nobody writes would otherwise hang the test.

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A FIFO without a writer, removed with the object.
class TFifo {
public:
    explicit TFifo(std::string path) : path_(std::move(path)) {
        ::unlink(path_.c_str());
        created_ = ::mkfifo(path_.c_str(), 0600) == 0;
    }
    ~TFifo() { ::unlink(path_.c_str()); }
    TFifo(const TFifo&) = delete;
    TFifo& operator=(const TFifo&) = delete;

    bool Created() const { return created_; }
    const std::string& Path() const { return path_; }
    // A writer comes and goes: a reader waiting in open or read gets the end.
    void Release() const {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }

private:
    std::string path_;
    bool created_ = false;
};

// Runs call on its own thread and tells whether it ended within the limit.
// If not, the FIFO is released until the call ends, so that the test goes on
// (and fails) instead of hanging.
inline bool EndsWithin(const std::function<void()>& call, const TFifo& fifo,
                       std::chrono::seconds limit = std::chrono::seconds(10)) {
    std::future<void> done = std::async(std::launch::async, call);
    if (done.wait_for(limit) == std::future_status::ready) {
        done.get();
        return true;
    }
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
        fifo.Release();
    return false;
}
