#include "palmsync/HandheldFolder.h"
#include "RawDatabase.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace palmsync;

namespace {

TEST(HandheldFolder, CreatesListsAndInstallsDatabases)
{
    gvtest::TempDir dir;
    HandheldFolder handheld(dir.path());
    handheld.createRecordDatabase("VehicleDB-KLXC", "KLXC", "DATA");
    EXPECT_THROW(handheld.createRecordDatabase("VehicleDB-KLXC", "KLXC", "DATA"), PalmDatabaseError);
    gvtest::writeFileText(dir / "Broken.pdb", "not a database");

    gvtest::TempDir source;
    PalmDatabase prc = PalmDatabase::createResourceDatabase("Gearvane", "appl", "KLXC", 1000000000);
    prc.resources = {{"code", 1, {0x4e, 0x75}}};
    prc.save(source / "Setup-file-name.prc");
    EXPECT_EQ(handheld.install(source / "Setup-file-name.prc"), dir / "Gearvane.prc");

    auto list = handheld.list();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "Broken");
    EXPECT_NE(list[0].fault.find("Broken.pdb"), std::string::npos);
    EXPECT_EQ(list[1].name, "Gearvane");
    EXPECT_TRUE(list[1].resource);
    EXPECT_EQ(list[1].type + list[1].creator, "applKLXC");
    EXPECT_EQ(list[2].name, "VehicleDB-KLXC");
    EXPECT_EQ(list[2].type + list[2].creator, "DATAKLXC");
    EXPECT_TRUE(list[2].fault.empty());

    EXPECT_EQ(handheld.find("Gearvane"), dir / "Gearvane.prc");
    EXPECT_FALSE(handheld.find("Missing"));
    EXPECT_EQ(PalmDatabase::load(dir / "VehicleDB-KLXC.pdb").name(), "VehicleDB-KLXC");
}

TEST(HandheldFolder, RefusesNamesThatLeaveTheFolder)
{
    gvtest::TempDir dir;
    HandheldFolder handheld(dir.path());
    for (const std::string &name :
         std::vector<std::string>{"", "..", ".", "../MainDB-KLXC", "a/b", std::string("a\0b", 3), std::string(32, 'x')})
        EXPECT_THROW(handheld.find(name), PalmDatabaseError) << name;
}

TEST(HandheldFolder, InstallRefusesADamagedFile)
{
    gvtest::TempDir dir;
    HandheldFolder handheld(dir.path());
    std::vector<std::uint8_t> bytes = test::sampleDatabase().bytes();
    bytes.resize(90);
    gvtest::writeFileBytes(dir / "incoming.bin", bytes);
    EXPECT_THROW(handheld.install(dir / "incoming.bin"), PalmDatabaseError);
    EXPECT_FALSE(handheld.find("MainDB-KLXC"));
}

} // namespace
