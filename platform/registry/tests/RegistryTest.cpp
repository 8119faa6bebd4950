#include "registry/Registry.h"
#include "registry/RegistryError.h"

#include "TempDir.h"

#include <gmock/gmock.h>

using namespace registry;
using testing::ElementsAre;

namespace {

class RegistryTest : public testing::Test {
protected:
    gvtest::TempDir dir;
    Registry reg{dir.path()};
};

TEST_F(RegistryTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling)
{
    reg.setString(Hive::LocalMachine, "\\Software\\Brenholt\\Gearvane\\", "Version", "2.5");
    reg.setString(Hive::LocalMachine, "SOFTWARE\\brenholt\\GEARVANE", "VERSION", "2.6");

    EXPECT_EQ(reg.stringValue(Hive::LocalMachine, "software\\BRENHOLT\\gearvane", "version"), "2.6");
    EXPECT_THAT(*reg.subkeys(Hive::LocalMachine, ""), ElementsAre("Software"));
    EXPECT_THAT(*reg.subkeys(Hive::LocalMachine, "software"), ElementsAre("Brenholt"));
    auto values = *reg.values(Hive::LocalMachine, "Software\\Brenholt\\Gearvane");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Version");
}

TEST_F(RegistryTest, HivesAreSeparate)
{
    reg.setString(Hive::ClassesRoot, "Tarnlink.X", "", "a");
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, "Tarnlink.X"));
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, "Tarnlink.X"));
    EXPECT_TRUE(reg.keyExists(Hive::ClassesRoot, "tarnlink.x"));
}

TEST_F(RegistryTest, DefaultValueIsTheValueWithTheEmptyName)
{
    reg.setString(Hive::ClassesRoot, "CLSID\\{1}\\InprocServer32", "", "/opt/lib/a b.so");
    reg.setString(Hive::ClassesRoot, "CLSID\\{1}\\InprocServer32", "ThreadingModel", "Apartment");

    EXPECT_EQ(reg.stringValue(Hive::ClassesRoot, "CLSID\\{1}\\InprocServer32", ""), "/opt/lib/a b.so");
    EXPECT_EQ(reg.stringValue(Hive::ClassesRoot, "CLSID\\{1}", ""), std::nullopt);
    EXPECT_TRUE(reg.keyExists(Hive::ClassesRoot, "CLSID\\{1}"));
}

TEST_F(RegistryTest, ReadingNeverCreatesKeysOrFiles)
{
    EXPECT_FALSE(reg.value(Hive::LocalMachine, "Software\\Missing", "Version"));
    EXPECT_FALSE(reg.subkeys(Hive::LocalMachine, "Software\\Missing"));
    EXPECT_FALSE(reg.values(Hive::LocalMachine, "Software\\Missing"));
    EXPECT_FALSE(std::filesystem::exists(reg.hiveFile(Hive::LocalMachine)));

    reg.createKey(Hive::LocalMachine, "Software");
    EXPECT_FALSE(reg.value(Hive::LocalMachine, "Software\\Missing\\Deeper", ""));
    EXPECT_THAT(*reg.subkeys(Hive::LocalMachine, "Software"), testing::IsEmpty());
}

TEST_F(RegistryTest, EnumeratesSubkeysByNameAndValuesInWriteOrderWithTheirTypes)
{
    reg.createKey(Hive::CurrentUser, "Root\\beta");
    reg.createKey(Hive::CurrentUser, "Root\\Alpha");
    reg.createKey(Hive::CurrentUser, "Root\\gamma\\inner");
    reg.setDword(Hive::CurrentUser, "Root", "Zed", 4000000000u);
    reg.setString(Hive::CurrentUser, "Root", "Able", "text");
    reg.setString(Hive::CurrentUser, "Root", "", "default");

    EXPECT_THAT(*reg.subkeys(Hive::CurrentUser, "Root"), ElementsAre("Alpha", "beta", "gamma"));
    auto values = *reg.values(Hive::CurrentUser, "Root");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].name, "Zed");
    EXPECT_EQ(std::get<std::uint32_t>(values[0].data), 4000000000u);
    EXPECT_EQ(values[1].name, "Able");
    EXPECT_EQ(values[2].name, "");
    EXPECT_EQ(reg.dwordValue(Hive::CurrentUser, "Root", "Able"), std::nullopt) << "a text is not a number";
}

TEST_F(RegistryTest, DeletingAKeyWithSubkeysIsRefusedAndChangesNothing)
{
    reg.setString(Hive::ClassesRoot, "CLSID\\{X}\\InprocServer32", "", "lib.so");
    reg.setString(Hive::ClassesRoot, "CLSID\\{X}", "", "desc");

    EXPECT_EQ(reg.deleteKey(Hive::ClassesRoot, "CLSID\\{X}"), DeleteKeyResult::HasSubkeys);
    EXPECT_EQ(reg.stringValue(Hive::ClassesRoot, "CLSID\\{X}\\InprocServer32", ""), "lib.so");
    EXPECT_EQ(reg.stringValue(Hive::ClassesRoot, "CLSID\\{X}", ""), "desc");

    EXPECT_EQ(reg.deleteKey(Hive::ClassesRoot, "clsid\\{x}\\inprocserver32"), DeleteKeyResult::Deleted);
    EXPECT_EQ(reg.deleteKey(Hive::ClassesRoot, "CLSID\\{X}"), DeleteKeyResult::Deleted);
    EXPECT_EQ(reg.deleteKey(Hive::ClassesRoot, "CLSID\\{X}"), DeleteKeyResult::NotFound);
    EXPECT_TRUE(reg.keyExists(Hive::ClassesRoot, "CLSID"));
    EXPECT_THROW(reg.deleteKey(Hive::ClassesRoot, "\\"), RegistryError);
}

TEST_F(RegistryTest, DeletesValues)
{
    reg.setString(Hive::CurrentUser, "K", "a", "1");
    EXPECT_TRUE(reg.deleteValue(Hive::CurrentUser, "K", "A"));
    EXPECT_FALSE(reg.deleteValue(Hive::CurrentUser, "K", "a"));
    EXPECT_FALSE(reg.deleteValue(Hive::CurrentUser, "Missing", "a"));
    EXPECT_TRUE(reg.keyExists(Hive::CurrentUser, "K"));
}

// A class registered for the whole machine is found from every user's
// registry; a user's own registration of it wins; the machine's other hives
// and every write stay the user's.
TEST_F(RegistryTest, ClassesFallBackToTheMachinesAndTheUsersOwnWin)
{
    gvtest::TempDir machineDir;
    Registry machine(machineDir.path());
    machine.setString(Hive::ClassesRoot, "Tarnlink.KLXGVClientNotify\\Clsid", "", "{MACHINE}");
    machine.setString(Hive::ClassesRoot, "Other.Class\\Clsid", "", "{OTHER}");
    machine.setString(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version", "9");

    Registry user(dir.path(), machineDir.path());
    EXPECT_EQ(user.stringValue(Hive::ClassesRoot, "Other.Class\\Clsid", ""), "{OTHER}");
    EXPECT_FALSE(user.stringValue(Hive::LocalMachine, "Software\\Brenholt\\Gearvane", "Version"));
    user.setString(Hive::ClassesRoot, "Tarnlink.KLXGVClientNotify\\Clsid", "", "{USER}");
    EXPECT_EQ(user.stringValue(Hive::ClassesRoot, "Tarnlink.KLXGVClientNotify\\Clsid", ""), "{USER}");
    EXPECT_EQ(machine.stringValue(Hive::ClassesRoot, "Tarnlink.KLXGVClientNotify\\Clsid", ""), "{MACHINE}");
    EXPECT_EQ(user.deleteKey(Hive::ClassesRoot, "Other.Class\\Clsid"), DeleteKeyResult::NotFound)
        << "a user cannot remove the machine's registration";
    EXPECT_TRUE(machine.keyExists(Hive::ClassesRoot, "Other.Class\\Clsid"));
}

TEST_F(RegistryTest, RefusesPathsWithEmptyKeyNames)
{
    EXPECT_THROW(reg.setString(Hive::CurrentUser, "A\\\\B", "", "x"), RegistryError);
    EXPECT_THROW(reg.createKey(Hive::CurrentUser, "\\\\A"), RegistryError);
    EXPECT_FALSE(std::filesystem::exists(reg.hiveFile(Hive::CurrentUser)));
}

struct RoundTripCase {
    const char *name;
    std::string keyName;
    std::string valueName;
    std::string data;
};

void PrintTo(const RoundTripCase &c, std::ostream *os)
{
    *os << c.name;
}

class RegistryRoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RegistryRoundTripTest, AnyTextSurvivesTheFile)
{
    gvtest::TempDir dir;
    const auto &c = GetParam();
    Registry(dir.path()).setString(Hive::ClassesRoot, "Top\\" + c.keyName, c.valueName, c.data);
    Registry fresh(dir.path());
    EXPECT_EQ(fresh.stringValue(Hive::ClassesRoot, "Top\\" + c.keyName, c.valueName), c.data);
    EXPECT_THAT(*fresh.subkeys(Hive::ClassesRoot, "Top"), ElementsAre(c.keyName));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RegistryRoundTripTest,
    testing::Values(RoundTripCase{"Plain", "Key", "Name", "Value"},
                    RoundTripCase{"Blanks", "Program Files", "with blank", "/opt/my lib/x.so"},
                    RoundTripCase{"Separators", "a\tb", "n=1\tv", "line1\nline2\r\n\tend"},
                    RoundTripCase{"Backslashes", "k", "C:\\x", "\\\\server\\share\\"},
                    RoundTripCase{"EscapeLookalikes", "k", "\\n", "\\x41\\t"},
                    RoundTripCase{"Controls", "k", std::string("a\0b", 3), std::string("\x01\x1f\x7f\0", 4)},
                    RoundTripCase{"Utf8",
                                  "Gr\xC3\xBC\xC3\x9F"
                                  "e",
                                  "\xE2\x82\xAC", "\xF0\x9F\x9A\x97"},
                    RoundTripCase{"EmptyData", "k", "", ""}),
    [](const testing::TestParamInfo<RoundTripCase> &info) { return std::string(info.param.name); });

} // namespace
