#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

namespace fileio {

// An open file descriptor, closed with the object.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor();
    Descriptor(Descriptor &&other) noexcept;
    Descriptor &operator=(Descriptor &&other) noexcept;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; returns 0, or errno of a failed close (data may be lost).
    int close();
    int release();

private:
    int fd_ = -1;
};

} // namespace fileio

#pragma GCC visibility pop
