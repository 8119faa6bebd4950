#include "palmlink/RecordingStream.h"

namespace palmlink {

std::size_t RecordingStream::readSome(std::span<std::uint8_t> buffer, Deadline deadline)
{
    std::size_t n = inner_.readSome(buffer, deadline);
    std::lock_guard lock(mutex_);
    trace_.push_back(
        {TraceEntry::Direction::Read, Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n))});
    return n;
}

void RecordingStream::write(std::span<const std::uint8_t> bytes)
{
    {
        std::lock_guard lock(mutex_);
        trace_.push_back({TraceEntry::Direction::Write, Bytes(bytes.begin(), bytes.end())});
    }
    inner_.write(bytes);
}

Trace RecordingStream::trace() const
{
    std::lock_guard lock(mutex_);
    return trace_;
}

} // namespace palmlink
