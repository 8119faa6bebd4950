// The device backend's transactions against the virtual handheld: content
// goes to the device when written, the clearing of its change flags waits
// for publish(), discard() takes back what was sent, and staged flag
// changes survive the end of the connection until the next one settles them.

#include "VirtualHandheld.h"

#include "palmlink/DeviceHandheld.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/TcpStream.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <thread>

namespace virtualhandheld {
namespace {

using namespace palmlink;
using handheld::Record;
using palmsync::PalmDatabase;
namespace fs = std::filesystem;

constexpr std::uint8_t Dirty = handheld::kAttrDirty, Deleted = handheld::kAttrDeleted;

handheld::Bytes text(const std::string &s)
{
    return handheld::Bytes(s.begin(), s.end());
}

// One connection to the virtual handheld serving `folder`.
class Connection {
public:
    Connection(const fs::path &folder, const fs::path &staging) : listener_("127.0.0.1", 0)
    {
        device_ = std::thread([this, folder, port = listener_.port()] {
            VirtualHandheld handheld(folder);
            try {
                auto stream = TcpStream::connect("127.0.0.1", port, milliseconds(5000));
                NetSyncLink link(*stream);
                link.openHandshake(milliseconds(5000));
                serveDlp(link, handheld, milliseconds(5000));
            } catch (const std::exception &) {
            }
            handheld.closeAll();
        });
        stream_ = listener_.accept(deadlineIn(milliseconds(5000)));
        link_ = std::make_unique<NetSyncLink>(*stream_);
        link_->acceptHandshake(milliseconds(5000));
        client_ = std::make_unique<DlpClient>(*link_, milliseconds(5000));
        handheld = std::make_shared<DeviceHandheld>(*client_, "the virtual handheld", staging);
    }
    ~Connection()
    {
        try {
            handheld->closeAll();
            client_->endOfSync();
        } catch (const std::exception &) {
        }
        stream_->close();
        device_.join();
    }
    DlpClient &client() { return *client_; }

    std::shared_ptr<DeviceHandheld> handheld;

private:
    TcpListener listener_;
    std::thread device_;
    std::unique_ptr<TcpStream> stream_;
    std::unique_ptr<NetSyncLink> link_;
    std::unique_ptr<DlpClient> client_;
};

std::vector<palmsync::PalmRecord> original()
{
    return {{0, 0, 1, text("a")}, {Dirty, 0, 2, text("b")}, {Deleted | Dirty, 0, 3, text("c")}};
}

class DeviceHandheldTest : public testing::Test {
protected:
    DeviceHandheldTest()
    {
        PalmDatabase db = PalmDatabase::createRecordDatabase("MainDB-KLXC", "DATA", "KLXC", 1000000000);
        db.records = original();
        db.save(dir / "MainDB-KLXC.pdb");
    }

    std::vector<palmsync::PalmRecord> deviceRecords() const
    {
        return PalmDatabase::load(dir / "MainDB-KLXC.pdb").records;
    }

    // What the conduit does to a database in one table step.
    static std::uint32_t work(handheld::HandheldDatabase &db)
    {
        db.begin();
        const std::uint32_t fresh = db.writeRecord({0, 0, 0, text("new")});
        db.writeRecord({1, 0, 0, text("A2")}); // content from the desktop
        db.writeRecord({2, 0, 0, text("b")});  // only the dirty bit cleared
        db.deleteRecord(3);                    // purge of a record deleted on the handheld
        return fresh;
    }

    gvtest::TempDir dir;
    fs::path staging = dir / "staging";
};

TEST_F(DeviceHandheldTest, FlagsWaitForPublishAndDiscardTakesBackWhatWasSent)
{
    for (bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "published" : "discarded");
        std::uint32_t fresh = 0;
        {
            Connection c(dir.path(), staging);
            auto db = std::static_pointer_cast<DeviceDatabase>(c.handheld->openDatabase("MainDB-KLXC"));
            fresh = work(*db);
            // The content is on the device; its flags are not cleared yet.
            EXPECT_EQ(c.client().readRecordById(db->handle(), 1)->data, text("A2"));
            EXPECT_EQ(c.client().readRecordById(db->handle(), 2)->attributes, Dirty);
            EXPECT_TRUE(c.client().readRecordById(db->handle(), 3));
            EXPECT_EQ(db->recordCount(), 3u); // as the conduit sees it: 1, 2 and the new one
            if (commit) {
                const std::string token = db->stage();
                ASSERT_FALSE(token.empty());
                const auto before = c.client().roundTrips();
                db->publish(token);
                EXPECT_EQ(c.client().roundTrips() - before, 2u) << "one CleanUpDatabase and one ResetSyncFlags";
            } else {
                db->discard();
                EXPECT_EQ(db->takeWarning(), "");
            }
        }
        if (commit) {
            EXPECT_EQ(deviceRecords(), (std::vector<palmsync::PalmRecord>{
                                           {0, 0, 1, text("A2")}, {0, 0, 2, text("b")}, {0, 0, fresh, text("new")}}));
        } else {
            EXPECT_EQ(deviceRecords(), original());
        }
        PalmDatabase db = PalmDatabase::load(dir / "MainDB-KLXC.pdb");
        db.records = original();
        db.save(dir / "MainDB-KLXC.pdb");
    }
}

// The connection ends after the desktop committed and before publish():
// the next connection clears the staged flags, but not those of a record
// the user changed on the handheld in between.
TEST_F(DeviceHandheldTest, StagedFlagsAreSettledByTheNextConnection)
{
    std::string token;
    {
        Connection c(dir.path(), staging);
        auto db = c.handheld->openDatabase("MainDB-KLXC");
        work(*db);
        token = db->stage();
    }
    auto records = deviceRecords();
    EXPECT_EQ(records[1].attributes, Dirty);
    EXPECT_EQ(records[2].attributes, Deleted | Dirty);
    {
        // Changed on the handheld since: keeps its dirty bit.
        PalmDatabase db = PalmDatabase::load(dir / "MainDB-KLXC.pdb");
        db.records[1].data = text("b, changed again");
        db.save(dir / "MainDB-KLXC.pdb");
    }
    {
        Connection c(dir.path(), staging);
        EXPECT_EQ(c.handheld->listStaged("MainDB-KLXC"), std::vector<std::string>{token});
        c.handheld->publishStaged("MainDB-KLXC", token);
        EXPECT_TRUE(c.handheld->listStaged("MainDB-KLXC").empty());
    }
    records = deviceRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].attributes, Dirty) << "a change made since keeps its flag";
    EXPECT_EQ(records[2].data, text("new")) << "the record deleted on the handheld is purged";
}

} // namespace
} // namespace virtualhandheld
