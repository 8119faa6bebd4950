// The fuzzers' seeds and findings, replayed: each input decodes and encodes
// back, or is refused with a DecodeError; never a fault or a crash.

#include "../fuzz/FuzzChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace palmlink {
namespace {

namespace fs = std::filesystem;

Bytes readBytes(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FuzzReplay, SeedsAndFindingsDecodeOrAreRefused)
{
    const fs::path root = GV_PALMLINK_SOURCE;
    int inputs = 0;
    for (const char *dir : {"fuzz/corpus-packets", "fuzz/corpus-dlp", "tests/crashers"}) {
        for (const auto &e : fs::directory_iterator(root / dir)) {
            if (!e.is_regular_file() || e.path().filename().string().starts_with("."))
                continue;
            ++inputs;
            Bytes b = readBytes(e.path());
            auto packets = fuzz::checkPackets(b);
            EXPECT_FALSE(packets) << e.path() << ": " << *packets;
            auto dlp = fuzz::checkDlp(b);
            EXPECT_FALSE(dlp) << e.path() << ": " << *dlp;
        }
    }
    EXPECT_GE(inputs, 60);
}

} // namespace
} // namespace palmlink
