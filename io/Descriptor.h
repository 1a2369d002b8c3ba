// A file descriptor owned by one object and closed on every path out of its scope; moved,
// it passes on with its owner.
#pragma once

#include <utility>

#include <unistd.h>

namespace glyphtint::io {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) { }
    ~Descriptor() { Reset(-1); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) { }
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd)
    {
        if (fd_ >= 0 && fd_ != fd) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    int Release() { return std::exchange(fd_, -1); }
    // Closes now; false when the close reports a late write error.
    bool Close()
    {
        const int fd = Release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

} // namespace glyphtint::io
