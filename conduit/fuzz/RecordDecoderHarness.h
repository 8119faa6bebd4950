#pragma once

// Runs hostile handheld record bytes through the record classes' decoders
// and checks what they make of them. Shared by the libFuzzer target and the
// regression tests, so that a crasher found by the one is replayed by the
// other with exactly the same checks.
//
// An input is one byte that picks the record class and the record header
// values, then the record's bytes (any length):
//   bits 0-1  record class: 0 oil grade, 1 supplier, 2 vehicle, 3 log entry
//   bits 2-3  category
//   bits 4-7  handheld attribute bits (0x80 deleted, 0x40 changed, 0x20, 0x10)

#include "palmsync/SyncSuite.h"

#include "com/ComPtr.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace palmsync {
class HotSyncSession;
}

namespace conduit::fuzz {

enum class DecodeResult {
    Decoded,  // read, and every round trip kept the record
    Rejected, // refused with an error (an exception derived from std::exception)
    Fault,    // read, but a round trip lost, changed or refused the content
};

struct DecodeOutcome {
    DecodeResult result = DecodeResult::Rejected;
    std::string message; // the rejection's text, or what went wrong
};

class RecordDecoderHarness {
public:
    static constexpr int kRecordClasses = 4;

    // Starts a HotSync whose handheld is the given (existing, empty) folder,
    // with one database per record class, each holding one record that every
    // input replaces. One harness at a time per process.
    explicit RecordDecoderHarness(const std::filesystem::path &handheldFolder);
    ~RecordDecoderHarness();
    RecordDecoderHarness(const RecordDecoderHarness &) = delete;
    RecordDecoderHarness &operator=(const RecordDecoderHarness &) = delete;

    // Decodes one input and round-trips what it decoded: through assign into
    // a fresh object, and through writeToRemote into the handheld database
    // and back. Exceptions not derived from std::exception pass through.
    DecodeOutcome run(std::span<const std::uint8_t> input);

    static std::string className(int recordClass);

private:
    std::unique_ptr<palmsync::HotSyncSession> session_;
    com::ComPtr<palmsync::IPDUtility> utility_;
    std::array<com::ComPtr<palmsync::IPDRecordAdapter>, kRecordClasses> adapters_;
    std::array<std::int32_t, kRecordClasses> recordIds_{};
};

} // namespace conduit::fuzz
