#include "palmsync/HandheldFolder.h"
#include "RawDatabase.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

// What cannot be installed is refused before anything on the handheld
// changes: a damaged file, what is not a regular file (a device, a FIFO:
// they would hang or fill memory), and a database of the other kind under
// the name of one on the handheld (it would take that one's place).
TEST(HandheldFolder, InstallRefusesWhatItCannotInstallCleanly)
{
    gvtest::TempDir dir;
    HandheldFolder handheld(dir.path());
    handheld.createRecordDatabase("MainDB-KLXC", "KLXC", "DATA");
    const auto log = gvtest::readFileBytes(dir / "MainDB-KLXC.pdb");

    gvtest::TempDir source;
    std::vector<std::uint8_t> bytes = test::sampleDatabase().bytes();
    bytes.resize(90);
    gvtest::writeFileBytes(source / "damaged.pdb", bytes);
    ASSERT_EQ(::mkfifo((source / "fifo.pdb").c_str(), 0600), 0);
    PalmDatabase::createResourceDatabase("MainDB-KLXC", "appl", "KLXC", 1000000000).save(source / "clash.prc");

    struct Case {
        std::filesystem::path file;
        const char *fault;
    };
    const Case cases[] = {{source / "damaged.pdb", "damaged.pdb"},
                          {"/dev/zero", "not a regular file"},
                          {source / "fifo.pdb", "not a regular file"},
                          {source / "clash.prc", "holds a record database named MainDB-KLXC"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.string());
        try {
            handheld.install(c.file);
            ADD_FAILURE() << "installed";
        } catch (const PalmDatabaseError &e) {
            EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(gvtest::readFileBytes(dir / "MainDB-KLXC.pdb"), log);
    EXPECT_FALSE(std::filesystem::exists(dir / "MainDB-KLXC.prc"));
}

} // namespace
