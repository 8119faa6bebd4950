#include "fileio/Descriptor.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace fileio {

Descriptor::~Descriptor()
{
    close();
}

Descriptor::Descriptor(Descriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int Descriptor::close()
{
    if (fd_ < 0)
        return 0;
    const int rc = ::close(std::exchange(fd_, -1));
    return rc == 0 ? 0 : errno;
}

int Descriptor::release()
{
    return std::exchange(fd_, -1);
}

} // namespace fileio
