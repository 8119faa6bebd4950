#pragma once

#include "palmlink/FdStream.h"

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace palmlink::test {

// Two connected in-process streams (a socket pair).
std::pair<std::unique_ptr<FdStream>, std::unique_ptr<FdStream>> streamPair();

// A stream that loses or cuts what goes through it, as a bad line does:
// writes for which `drop(index)` is true vanish, and after `cutAfter`
// written bytes the stream closes.
class FaultyStream : public ByteStream {
public:
    explicit FaultyStream(ByteStream &inner) : inner_(inner) {}
    std::function<bool(std::size_t)> drop;
    std::size_t cutAfter = SIZE_MAX;

    std::size_t readSome(std::span<std::uint8_t> buffer, Deadline deadline) override
    {
        return inner_.readSome(buffer, deadline);
    }
    void write(std::span<const std::uint8_t> bytes) override;
    void close() override { inner_.close(); }
    std::size_t writes() const { return writes_; }

private:
    ByteStream &inner_;
    std::size_t writes_ = 0;
    std::size_t written_ = 0;
};

} // namespace palmlink::test
