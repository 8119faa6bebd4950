// Writing texts into a record the handheld application stored shorter than
// the layout: the record grows to hold every text, whatever the desktop text
// holds, and no byte of the record outside the written fields changes.
#include "TempDir.h"
#include "com/ClassTable.h"
#include "conduit/ToDoSupplierObject.h"
#include "palmsync/HandheldFolder.h"
#include "palmsync/HotSyncSession.h"

#include <gtest/gtest.h>

using namespace conduit;

namespace {

class ShortRecordWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.path() / "handheld");
        palmsync::HandheldFolder(dir.path() / "handheld").createRecordDatabase("SupplierDB-KLXC", "KLXC", "DATA");
        session = std::make_unique<palmsync::HotSyncSession>(
            palmsync::SessionSettings{"User", dir.str(), 0, dir.path() / "handheld"});
        utility = com::createInstance<palmsync::IPDUtility>(palmsync::IPDUtility::clsid);
        auto query = com::createInstance<palmsync::IPDDatabaseQuery>(palmsync::IPDDatabaseQuery::clsid);
        com::check(query->OpenRecordDatabase("SupplierDB-KLXC", "PDDirect.PDRecordAdapter", 0xC0,
                                             reinterpret_cast<palmsync::IPDRecordAdapter **>(adapter.put())));
    }
    void TearDown() override
    {
        adapter = nullptr;
        utility = nullptr;
        session->end();
    }

    // A supplier record of `size` bytes as the handheld application stored
    // it, read and then given the desktop's Filler.
    palmsync::ByteArray writeWithFiller(std::size_t size, const std::string &filler)
    {
        palmsync::ByteArray stored(size, 0);
        stored[0] = 0xAB; // reserved bytes are kept
        std::int32_t id = 0;
        com::check(adapter->WriteRecord(&id, 3, 0, stored));
        TToDoSupplierObject handheld("User");
        handheld.readFromRemote(utility.get(), stored, 0, id, 3, 0);
        TToDoSupplierObject desktop("User");
        desktop.assign(handheld);
        desktop.Rec.Filler = filler;
        handheld.assign(desktop);
        handheld.writeToRemote(adapter.get(), utility.get(), 0);
        std::int32_t index, category, attributes;
        palmsync::ByteArray written;
        com::check(adapter->ReadRecordById(&index, id, &category, &attributes, &written));
        EXPECT_EQ(category, 3);
        return written;
    }

    gvtest::TempDir dir;
    std::unique_ptr<palmsync::HotSyncSession> session;
    com::ComPtr<palmsync::IPDUtility> utility;
    com::ComPtr<palmsync::IPDRecordAdapter> adapter;
};

TEST_F(ShortRecordWrite, GrowsByTheTextsHandheldBytes)
{
    struct Case {
        const char *name;
        std::string filler;
        std::string bytes; // what the handheld holds from offset 123
    };
    const Case cases[] = {
        {"plain", "ab", "ab"},
        {"two-byte character", "caf\xC3\xA9", "caf\xE9"},
        {"character the handheld cannot hold", "\xE2\x82\xAC\xE4\xB8\xAD", "\x80?"},
        {"malformed sequence, one byte each", "ab\xE2\x82", "ab??"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto written = writeWithFiller(126, c.filler);
        ASSERT_EQ(written.size(), 123 + c.bytes.size() + 1);
        EXPECT_EQ(written[0], 0xAB);
        EXPECT_EQ(std::string(written.begin() + 123, written.end() - 1), c.bytes);
        EXPECT_EQ(written.back(), 0);
    }
}

TEST_F(ShortRecordWrite, FullLengthRecordKeepsItsLength)
{
    auto written = writeWithFiller(148, "0123456789");
    EXPECT_EQ(written.size(), 148u);
    EXPECT_EQ(std::string(written.begin() + 123, written.begin() + 133), "0123456789");
}

} // namespace
