// gearvane-sample and make-gearvane-prc: --help and --version answer, and an
// option they do not know is refused, never taken for a file name.

#include "ProgramRunner.h"

#include "TempDir.h"

#include <gmock/gmock.h>

using namespace hotsynctest;
using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

TEST(ToolProgramsTest, HelpAndVersionAnswerAndUnknownOptionsAreRefused)
{
    struct Case {
        const char *program;
        std::vector<std::string> args;
        int status;
        const char *out;
        const char *err;
    };
    const std::vector<Case> cases{
        {"gearvane-sample", {"--help"}, 0, "Usage: gearvane-sample DIR", ""},
        {"gearvane-sample", {"--version"}, 0, "gearvane-sample (Gearvane companion suite) ", ""},
        {"gearvane-sample", {"--colour", "red"}, 2, "", "unknown option --colour"},
        {"gearvane-sample", {"handheld", "--entries"}, 2, "", "option --entries needs a count"},
        {"make-gearvane-prc", {"--help"}, 0, "Usage: make-gearvane-prc OUTPUT", ""},
        {"make-gearvane-prc", {"--version"}, 0, "make-gearvane-prc (Gearvane companion suite) ", ""},
        {"make-gearvane-prc", {"--output=x.prc"}, 2, "", "unknown option --output"},
        {"make-gearvane-prc", {"-x"}, 2, "", "unknown option -x"},
    };
    for (const auto &c : cases) {
        gvtest::TempDir dir;
        auto r = runBuiltProgram(c.program, dir.path(), c.args, {});
        SCOPED_TRACE(std::string(c.program) + " " + c.args.front());
        EXPECT_EQ(r.status, c.status) << describe(r);
        EXPECT_THAT(r.out, HasSubstr(c.out));
        EXPECT_THAT(r.err, HasSubstr(c.err));
        for (const auto &arg : c.args)
            EXPECT_FALSE(fs::exists(arg)) << "a file named " << arg << " was written";
    }
}

} // namespace
