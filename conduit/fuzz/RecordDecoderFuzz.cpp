// libFuzzer target for the handheld record decoders: the first byte picks
// the record class and header values, the rest is the record. A rejection
// with an error is fine; a crash, a sanitizer report, a hang, an exception of
// another kind or a round trip that changes the record is a finding.

#include "RecordDecoderHarness.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

conduit::fuzz::RecordDecoderHarness *harness = nullptr;
std::filesystem::path handheldFolder;

// Ends the HotSync before the process's static objects go, so that the
// sync suite's class registrations are released, then removes the folder.
void endHarness()
{
    delete harness;
    harness = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(handheldFolder, ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "gv-record-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    handheldFolder = pattern;
    // Kept for the whole run: the HotSync and its open databases live as
    // long as the process. Registered after the harness exists, the exit
    // handler runs before the statics the harness brought to life.
    harness = new conduit::fuzz::RecordDecoderHarness(handheldFolder);
    std::atexit(endHarness);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto outcome = harness->run({data, size});
    if (outcome.result == conduit::fuzz::DecodeResult::Fault) {
        std::fprintf(stderr, "record decoder fault: %s\n", outcome.message.c_str());
        std::abort();
    }
    return 0;
}
