// The virtual handheld driven by a desktop (DlpClient) over Net Sync and
// Serial Sync on TCP and over a pty: it keeps record attributes and sync
// flags as a device does and writes the folder back durably.

#include "VirtualHandheld.h"
#include "VirtualHandheldProgram.h"

#include "palmlink/CmpHandshake.h"
#include "palmlink/DlpClient.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/PadpLink.h"
#include "palmlink/PtyPair.h"
#include "palmlink/TcpStream.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <future>
#include <sstream>

namespace virtualhandheld {
namespace {

using namespace std::chrono_literals;
using namespace palmlink;
using namespace palmlink::dlp;
using palmsync::PalmDatabase;

Bytes text(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

void makeHandheld(const gvtest::TempDir &dir)
{
    PalmDatabase db = PalmDatabase::createRecordDatabase("MainDB-KLXC", "DATA", "KLXC", 1000000000);
    db.appInfo = text("APPINFO");
    db.records = {
        {0, 0, 1, text("a")}, {recattr::Dirty, 1, 2, text("b")}, {recattr::Deleted | recattr::Dirty, 0, 3, text("c")}};
    db.save(dir / "MainDB-KLXC.pdb");
    HandheldUser u;
    u.name = "Pat Driver";
    u.userId = 42;
    u.save(dir.path());
}

// A HotSync as a host makes it, checking the handheld's answers.
void hotSync(DlpClient &c)
{
    UserInfo user = c.readUserInfo();
    EXPECT_EQ(user.name(), "Pat Driver");
    EXPECT_EQ(user.userId, 42u);
    EXPECT_EQ(user.lastSync.year, 0);
    EXPECT_TRUE(c.readSysInfo().versions);
    auto list = c.readDbList(dblist::Ram);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name(), "MainDB-KLXC");
    EXPECT_EQ(fourCcText(list[0].creator), "KLXC");

    c.openConduit();
    std::uint8_t h = c.openDb("MainDB-KLXC", openmode::Read | openmode::Write);
    EXPECT_EQ(c.readOpenDbRecordCount(h), 3);
    EXPECT_EQ(c.readAppBlock(h), text("APPINFO"));
    EXPECT_FALSE(c.readSortBlock(h));
    std::vector<std::uint32_t> modified;
    while (auto r = c.readNextModifiedRecord(h))
        modified.push_back(r->recordId);
    EXPECT_EQ(modified, (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(c.readRecordIdList(h), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(c.readRecordById(h, 3)->attributes, recattr::Deleted | recattr::Dirty);

    std::uint32_t fresh = c.writeRecord(h, 0, 0, 5, text("new"));
    EXPECT_GT(fresh, 3u);
    EXPECT_EQ(c.writeRecord(h, 1, recattr::Dirty, 2, text("A2")), 1u);
    c.deleteRecord(h, 2);
    EXPECT_FALSE(c.readRecordById(h, 2));
    EXPECT_EQ(c.readRecordById(h, fresh)->data, text("new"));
    c.resetSyncFlags(h);
    c.cleanUpDatabase(h);
    EXPECT_FALSE(c.readNextModifiedRecord(h));
    c.closeDb(h);

    CreateDBRequest create;
    create.creator = fourCc("KLXC");
    create.type = fourCc("appl");
    create.dbFlags = dbflag::ResDB | dbflag::Backup;
    create.name = "Gearvane";
    std::uint8_t prc = c.createDb(create);
    c.writeResource(prc, "tAIN", 1000, text("Gearvane"));
    c.writeResource(prc, "tver", 1, text("1.0"));
    c.closeDb(prc);
    EXPECT_TRUE(c.findDbByName("Gearvane"));
    EXPECT_FALSE(c.deleteDb("NoSuchDB"));

    WriteUserInfoRequest w;
    w.modFlags = usermod::SyncPc | usermod::SyncDate;
    w.lastSyncPc = 0xABCD;
    w.lastSync = {2024, 3, 1, 12, 30, 0, 0};
    c.writeUserInfo(w);
    c.addSyncLogEntry("Gearvane: OK");
    c.endOfSync();
}

void expectFolderAfterHotSync(const gvtest::TempDir &dir)
{
    PalmDatabase db = PalmDatabase::load(dir / "MainDB-KLXC.pdb");
    ASSERT_EQ(db.records.size(), 2u);
    EXPECT_EQ(db.records[0], (palmsync::PalmRecord{0, 2, 1, text("A2")})); // dirty bit reset
    EXPECT_EQ(db.records[1].data, text("new"));
    EXPECT_EQ(db.records[1].attributes, 0);
    EXPECT_EQ(db.records[1].category, 5);
    EXPECT_GT(db.header.modificationNumber, 0u);
    PalmDatabase prc = PalmDatabase::load(dir / "Gearvane.prc");
    EXPECT_TRUE(prc.isResourceDatabase());
    EXPECT_EQ(prc.type() + prc.creator(), "applKLXC");
    ASSERT_EQ(prc.resources.size(), 2u);
    EXPECT_EQ(prc.resources[0], (palmsync::PalmResource{"tAIN", 1000, text("Gearvane")}));
    HandheldUser u = HandheldUser::load(dir.path());
    EXPECT_EQ(u.lastSyncPc, 0xABCDu);
    EXPECT_EQ(u.lastSync, (DateTime{2024, 3, 1, 12, 30, 0, 0}.toUnix()));
    EXPECT_EQ(u.name, "Pat Driver");
}

TEST(VirtualHandheld, HotSyncsOverEveryTransport)
{
    for (std::string transport : {"net", "serial-net", "tty"}) {
        SCOPED_TRACE(transport);
        gvtest::TempDir dir;
        makeHandheld(dir);
        std::unique_ptr<TcpListener> listener;
        std::unique_ptr<PtyPair> pty;
        std::string target;
        if (transport == "tty") {
            pty = std::make_unique<PtyPair>();
            target = pty->slavePath();
        } else {
            listener = std::make_unique<TcpListener>("127.0.0.1", 0);
            target = "127.0.0.1:" + std::to_string(listener->port());
        }
        std::ostringstream out, err;
        auto device = std::async(std::launch::async, [&] {
            return runVirtualHandheld({dir.str(), "--" + transport, target, "--timeout", "10"}, out, err);
        });
        std::unique_ptr<ByteStream> conn;
        ByteStream *s = pty ? static_cast<ByteStream *>(&pty->master()) : nullptr;
        if (listener) {
            conn = listener->accept(deadlineIn(10s));
            s = conn.get();
        }
        if (transport == "net") {
            NetSyncLink link(*s);
            link.acceptHandshake(10s);
            DlpClient client(link, 10s);
            hotSync(client);
        } else {
            PadpLink link(*s);
            acceptCmp(link, nullptr, 115200, 10s);
            DlpClient client(link, 10s);
            hotSync(client);
        }
        EXPECT_EQ(device.get(), 0) << err.str();
        expectFolderAfterHotSync(dir);
    }
}

// A link that drops mid-sync keeps what the desktop wrote, as a device does.
TEST(VirtualHandheld, KeepsWrittenRecordsWhenTheLinkDrops)
{
    gvtest::TempDir dir;
    makeHandheld(dir);
    TcpListener listener("127.0.0.1", 0);
    std::ostringstream out, err;
    auto device = std::async(std::launch::async, [&] {
        return runVirtualHandheld(
            {dir.str(), "--net", "127.0.0.1:" + std::to_string(listener.port()), "--timeout", "10"}, out, err);
    });
    {
        auto conn = listener.accept(deadlineIn(10s));
        NetSyncLink link(*conn);
        link.acceptHandshake(10s);
        DlpClient client(link, 10s);
        std::uint8_t h = client.openDb("MainDB-KLXC", openmode::Read | openmode::Write);
        client.writeRecord(h, 0, recattr::Dirty, 0, text("kept"));
    } // the connection closes here, the database still open
    EXPECT_EQ(device.get(), 1);
    EXPECT_NE(err.str().find("the HotSync failed"), std::string::npos) << err.str();
    PalmDatabase db = PalmDatabase::load(dir / "MainDB-KLXC.pdb");
    ASSERT_EQ(db.records.size(), 4u);
    EXPECT_EQ(db.records[3].data, text("kept"));
}

TEST(VirtualHandheld, RefusesBadCommandLines)
{
    gvtest::TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {dir.str()},
        {dir.str(), "--net", "nohostport"},
        {dir.str(), "--net", "h:1", "--tty", "/dev/null"},
        {dir.str(), "--net", "h:0"},
        {dir.str(), "--net", "h:1", "--timeout", "soon"},
        {dir.str(), "--net", "h:1", "--bogus", "x"},
    };
    for (const auto &args : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runVirtualHandheld(args, out, err), 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
    }
    std::ostringstream out, err;
    EXPECT_EQ(runVirtualHandheld({(dir / "missing").string(), "--net", "127.0.0.1:9", "--timeout", "1"}, out, err), 1);
    // --help and --version answer and end, whatever else is given.
    for (const char *option : {"--help", "--version"}) {
        std::ostringstream shown, errors;
        EXPECT_EQ(runVirtualHandheld({dir.str(), option, "--net"}, shown, errors), 0) << option;
        EXPECT_NE(shown.str().find("virtual-handheld"), std::string::npos) << option;
        EXPECT_EQ(errors.str(), "") << option;
    }
}

} // namespace
} // namespace virtualhandheld
