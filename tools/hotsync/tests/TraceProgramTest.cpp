// "hotsync trace": every recorded session decodes and checks; a damaged
// recording or a bad command line gives a non-zero status and says why.

#include "ProgramRunner.h"

#include "palmlink/Trace.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using hotsynctest::runProgram;

TEST(TraceProgram, ChecksEveryRecordedSession)
{
    gvtest::TempDir scratch;
    int files = 0;
    for (const auto &e : fs::directory_iterator(GV_DEVICE_SESSIONS)) {
        if (e.path().extension() != ".json")
            continue;
        ++files;
        auto r = runProgram(scratch.path(), {"trace", e.path().string(), "--check"});
        EXPECT_EQ(r.status, 0) << e.path() << "\n" << hotsynctest::describe(r);
        EXPECT_NE(r.out.find("every piece encodes back to the recorded bytes"), std::string::npos);
    }
    EXPECT_GE(files, 12);
}

TEST(TraceProgram, FailsOnDamageAndOnBadCommandLines)
{
    gvtest::TempDir scratch;
    palmlink::Trace t = palmlink::readTrace(fs::path(GV_DEVICE_SESSIONS) / "no-op-test.serial-net.json");
    t.back().data.pop_back();
    palmlink::writeTrace(scratch / "cut.serial-net.json", t);
    gvtest::writeFileText(scratch / "not-json.net.json", "[{");

    struct Case {
        std::vector<std::string> args;
        int status;
        const char *err;
    };
    const std::vector<Case> cases = {
        {{"trace", (scratch / "cut.serial-net.json").string()}, 1, "ends inside an SLP packet"},
        {{"trace", (scratch / "not-json.net.json").string(), "--check"}, 1, "not JSON"},
        {{"trace", (scratch / "missing.net.json").string()}, 1, "Cannot open"},
        {{"trace"}, 2, "trace takes one FILE"},
        {{"trace", "a", "b"}, 2, "trace takes one FILE"},
        {{"trace", "a", "--fix"}, 2, "unknown option --fix"},
    };
    for (const Case &c : cases) {
        auto r = runProgram(scratch.path(), c.args);
        EXPECT_EQ(r.status, c.status) << hotsynctest::describe(r);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << hotsynctest::describe(r);
    }
}

} // namespace
