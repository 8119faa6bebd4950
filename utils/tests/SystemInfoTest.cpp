#include "utils/SystemInfo.h"
#include "utils/FlagFile.h"

#include "TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace gvutils;

namespace {

// Sets COMPUTERNAME for one scope (nullptr: unset) and restores it after.
class ComputerNameVariable {
public:
    explicit ComputerNameVariable(const char *value)
    {
        if (const char *old = std::getenv("COMPUTERNAME"))
            saved_ = old;
        if (value != nullptr)
            ::setenv("COMPUTERNAME", value, 1);
        else
            ::unsetenv("COMPUTERNAME");
    }
    ~ComputerNameVariable()
    {
        if (saved_)
            ::setenv("COMPUTERNAME", saved_->c_str(), 1);
        else
            ::unsetenv("COMPUTERNAME");
    }

private:
    std::optional<std::string> saved_;
};

TEST(SystemInfo, ComputerNames)
{
    const struct {
        const char *value;
        bool forFileName;
        std::string name;
    } cases[] = {
        {"SALES-PC.EAST", true, "SALES-PC"},
        {"SALES-PC.EAST", false, "SALES-PC.EAST"},
        {"A.B", true, "AB"},
        {nullptr, false, "UNKNOWN"},
        {nullptr, true, "UNKNOWN"},
        {"", false, "UNKNOWN"},
        {"   ", false, "UNKNOWN"},
        {" *,./:;?\\|", true, "UNKNOWN"},
        {"a b*c,d.e/f:g;h?i\\j|k", true, "abcdefgh"},
        {"WS1", true, "WS1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.value ? c.value : "(unset)") + (c.forFileName ? " for a file" : ""));
        ComputerNameVariable variable(c.value);
        EXPECT_EQ(computerName(c.forFileName), c.name);
    }
    ComputerNameVariable longName(std::string(300, 'N').c_str());
    EXPECT_EQ(computerName(false), std::string(256, 'N'));
}

TEST(SystemInfo, VersionTextIsMajorDotMinor)
{
    const std::string text = osVersionText();
    EXPECT_THAT(text, testing::MatchesRegex("[0-9]+\\.[0-9]+"));
    EXPECT_GT(versionNumber(text), 0.0);

    EXPECT_DOUBLE_EQ(versionNumber("6.1"), 6.1);
    EXPECT_DOUBLE_EQ(versionNumber("3.10"), 3.1);
    EXPECT_DOUBLE_EQ(versionNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(versionNumber("6,1"), 0.0);
}

TEST(SystemInfo, UpdateTextFromOsRelease)
{
    gvtest::TempDir dir;
    const struct {
        std::string content;
        std::string text;
    } cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\n", "12 (bookworm)"},
        {"NAME=Arch\nVERSION_ID=2024.01\n", "2024.01"},
        {"VERSION='  7 (spaced)  '\n", "7 (spaced)"},
        {"NAME=none\n", ""},
        {"VERSION=" + std::string(200, 'v') + "\n", std::string(128, 'v')},
    };
    for (const auto &c : cases) {
        gvtest::writeFileText(dir / "os-release", c.content);
        EXPECT_EQ(osUpdateText((dir / "os-release").string()), c.text) << c.content;
    }
    EXPECT_EQ(osUpdateText((dir / "missing").string()), "");
}

TEST(FlagFilePath, FromParameterOrProgramFolder)
{
    const struct {
        std::optional<std::string> parameter;
        std::string path;
    } cases[] = {
        {std::nullopt, "/opt/gv/Data/INUSE.FLG"},
        {"/srv/share/gearvane", "/srv/share/gearvane/INUSE.FLG"},
        {"/srv/share/gearvane/", "/srv/share/gearvane/INUSE.FLG"},
        // Case is kept: folders differ by case on this file system.
        {"/Srv/Data", "/Srv/Data/INUSE.FLG"},
        // A parameter that is no folder path falls back to the program's folder.
        {"nofolder", "/opt/gv/INUSE.FLG"},
        {"", "/opt/gv/INUSE.FLG"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(flagFilePath(c.parameter, "/opt/gv"), c.path) << c.parameter.value_or("(none)");
}

} // namespace
