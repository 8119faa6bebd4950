#pragma once

#include "palmlink/ByteStream.h"
#include "palmlink/Trace.h"

#include <mutex>

namespace palmlink {

// Passes everything through to another stream and records each read and
// write as a trace entry, in the recordings' form.
class RecordingStream : public ByteStream {
public:
    explicit RecordingStream(ByteStream &inner) : inner_(inner) {}

    std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) override;
    void write(std::span<const std::uint8_t> bytes) override;
    void close() override { inner_.close(); }

    Trace trace() const;

private:
    ByteStream &inner_;
    mutable std::mutex mutex_;
    Trace trace_;
};

} // namespace palmlink
