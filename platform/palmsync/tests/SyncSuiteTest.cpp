#include "palmsync/SyncSuite.h"
#include "RawDatabase.h"
#include "SystemCallTrace.h"
#include "TempDir.h"
#include "palmsync/HotSyncSession.h"
#include "palmsync/PalmDatabase.h"

#include "com/ClassTable.h"
#include "com/ComError.h"

#include <gtest/gtest.h>

using namespace palmsync;
using com::ComPtr;
using palmsync::test::bytesOf;

namespace {

std::string errorOf(com::HRESULT hr)
{
    EXPECT_TRUE(com::FAILED(hr));
    return com::TakeErrorInfo();
}

class SyncSuite : public testing::Test {
protected:
    SyncSuite()
    {
        std::filesystem::create_directory(handheldDir());
        test::RawDatabase raw = test::sampleDatabase(); // ids 0x1001, 0x1002 (deleted), 0x1005
        gvtest::writeFileBytes(mainFile(), raw.bytes());
        raw.setName("OilGradeDB-KLXC");
        raw.records.clear();
        gvtest::writeFileBytes(handheldDir() / "OilGradeDB-KLXC.pdb", raw.bytes());
    }

    std::filesystem::path handheldDir() const { return dir_ / "handheld"; }
    std::filesystem::path mainFile() const { return handheldDir() / "MainDB-KLXC.pdb"; }

    SessionSettings settings() const { return {"Jo Driver", "/conduit/JoD", 1, handheldDir()}; }

    ComPtr<IPDRecordAdapter> open(const std::string &name, std::int32_t mode = eDbRead | eDbWrite)
    {
        auto query = com::createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid);
        IPDRecordAdapter *adapter = nullptr;
        com::check(query->OpenRecordDatabase(name, "PDDirect.PDRecordAdapter", mode, &adapter));
        return ComPtr<IPDRecordAdapter>::attach(adapter);
    }

    struct Read {
        com::HRESULT hr;
        std::int32_t index, id, category, attributes;
        ByteArray data;
        bool eof;
    };
    static Read readNext(IPDRecordAdapter *a)
    {
        Read r{};
        r.hr = a->ReadNextRecord(&r.index, &r.id, &r.category, &r.attributes, &r.data);
        a->GetEOF(&r.eof);
        return r;
    }
    static bool eof(IPDRecordAdapter *a)
    {
        bool e = false;
        com::check(a->GetEOF(&e));
        return e;
    }
    static std::int32_t write(IPDRecordAdapter *a, std::int32_t id, const std::string &data, std::int32_t category = 0,
                              std::int32_t attributes = 0)
    {
        com::check(a->WriteRecord(&id, category, attributes, bytesOf(data)));
        return id;
    }

    gvtest::TempDir dir_;
};

TEST_F(SyncSuite, ClassesExistOnlyWhileASessionRuns)
{
    EXPECT_THROW(com::createInstance<IPDSystemAdapter>(IPDSystemAdapter::clsid), com::ComError);
    {
        HotSyncSession session(settings());
        EXPECT_THROW(HotSyncSession second(settings()), std::logic_error);
        EXPECT_TRUE(com::createInstance<IPDUtility>(IPDUtility::clsid));
        session.end();
        EXPECT_THROW(com::createInstance<IPDUtility>(IPDUtility::clsid), com::ComError);
    }
    HotSyncSession next(settings()); // a new HotSync may start after the last one ended
    EXPECT_TRUE(com::createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid));
}

TEST_F(SyncSuite, SystemAdapterReportsTheHotSyncAndLogs)
{
    HotSyncSession session(settings());
    auto system = com::createInstance<IPDSystemAdapter>(IPDSystemAdapter::clsid);
    IPDHotsyncInfo *raw = nullptr;
    com::check(system->GetHotsyncInfo(&raw));
    auto info = ComPtr<IPDHotsyncInfo>::attach(raw);
    std::int32_t type = -1;
    std::string path, user;
    com::check(info->GetSyncType(&type));
    com::check(info->GetPathName(&path));
    com::check(info->GetUserName(&user));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(path, "/conduit/JoD");
    EXPECT_EQ(user, "Jo Driver");

    com::check(system.query<IPDHostLog>()->AddLogEntry("from the host log"));
    auto main = open("MainDB-KLXC");
    com::check(main->AddLogEntry(std::string("OK Gearvane\0", 12), -1, 0, 0));
    EXPECT_EQ(session.logLines(), (std::vector<std::string>{"from the host log", "OK Gearvane"}));
}

TEST_F(SyncSuite, OpenFailsWithAPlatformMessage)
{
    gvtest::writeFileText(handheldDir() / "Broken-KLXC.pdb", "short");
    HotSyncSession session(settings());
    auto query = com::createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid);
    IPDRecordAdapter *adapter = nullptr;
    EXPECT_EQ(errorOf(query->OpenRecordDatabase("Nope-KLXC", "PDDirect.PDRecordAdapter", 192, &adapter)),
              "Database Nope-KLXC not found on the handheld");
    std::string corrupt = errorOf(query->OpenRecordDatabase("Broken-KLXC", "PDDirect.PDRecordAdapter", 192, &adapter));
    EXPECT_NE(corrupt.find("Broken-KLXC.pdb: the file is shorter"), std::string::npos) << corrupt;
    EXPECT_EQ(query->OpenRecordDatabase("../handheld/MainDB-KLXC", "PDDirect.PDRecordAdapter", 192, &adapter),
              com::E_INVALIDARG);
    EXPECT_EQ(adapter, nullptr);
}

TEST_F(SyncSuite, IterationDeliversEveryRecordThenEndOfFile)
{
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC");
    com::check(main->SetIterationIndex(0));
    EXPECT_FALSE(eof(main.get()));

    Read first = readNext(main.get());
    EXPECT_EQ(first.hr, com::S_OK);
    EXPECT_EQ(first.index, 0);
    EXPECT_EQ(first.id, 0x1001);
    EXPECT_EQ(first.attributes, eRecAttrDirty);
    EXPECT_EQ(first.data, bytesOf("first record"));
    EXPECT_FALSE(first.eof);

    Read deleted = readNext(main.get());
    EXPECT_EQ(deleted.index, 1);
    EXPECT_EQ(deleted.attributes, eRecAttrDeleted);
    EXPECT_EQ(deleted.category, 3);
    EXPECT_FALSE(deleted.eof);

    Read last = readNext(main.get());
    EXPECT_EQ(last.id, 0x1005);
    EXPECT_FALSE(last.eof); // that read found a record

    Read past = readNext(main.get());
    EXPECT_EQ(past.hr, com::S_FALSE);
    EXPECT_TRUE(past.eof);

    com::check(main->SetIterationIndex(0));
    EXPECT_FALSE(eof(main.get()));
    EXPECT_EQ(readNext(main.get()).id, 0x1001);

    auto empty = open("OilGradeDB-KLXC");
    com::check(empty->SetIterationIndex(0));
    EXPECT_TRUE(eof(empty.get()));
    EXPECT_EQ(readNext(empty.get()).hr, com::S_FALSE);
}

TEST_F(SyncSuite, WriteCreatesReplacesAndRefusesBadValues)
{
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC");
    std::int32_t created = write(main.get(), 0, "new one", 7, eRecAttrDirty);
    EXPECT_EQ(created, 0x1006); // above every id in the file; its seed is 0

    EXPECT_EQ(write(main.get(), 0x1002, "revived", 2, 0), 0x1002);
    std::int32_t index, category, attributes;
    ByteArray data;
    com::check(main->ReadRecordById(&index, 0x1002, &category, &attributes, &data));
    EXPECT_EQ(index, 1); // replaced in place
    EXPECT_EQ(category, 2);
    EXPECT_EQ(attributes, 0);
    EXPECT_EQ(data, bytesOf("revived"));
    com::check(main->ReadRecordById(&index, created, &category, &attributes, &data));
    EXPECT_EQ(index, 3); // appended
    EXPECT_EQ(category, 7);
    EXPECT_EQ(attributes, eRecAttrDirty);

    struct Bad {
        const char *name;
        std::int32_t id, category, attributes;
        com::HRESULT hr;
    };
    const Bad bad[] = {
        {"unknown id", 0x4444, 0, 0, com::E_FAIL},         {"negative id", -5, 0, 0, com::E_FAIL},
        {"category 16", 0, 16, 0, com::E_INVALIDARG},      {"category -1", 0, -1, 0, com::E_INVALIDARG},
        {"attribute 0x08", 0, 0, 0x08, com::E_INVALIDARG},
    };
    for (const Bad &b : bad) {
        std::int32_t id = b.id;
        EXPECT_EQ(main->WriteRecord(&id, b.category, b.attributes, bytesOf("x")), b.hr) << b.name;
        EXPECT_FALSE(com::TakeErrorInfo().empty()) << b.name;
    }
    std::int32_t count = 0;
    com::check(main->GetRecordCount(&count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(errorOf(main->ReadRecordById(&index, 0x4444, &category, &attributes, &data)),
              "Record 17476 not found in database MainDB-KLXC");
}

TEST_F(SyncSuite, RemovedIdsAreNotReusedInTheSession)
{
    HotSyncSession session(settings());
    {
        auto main = open("MainDB-KLXC");
        std::int32_t id = write(main.get(), 0, "short-lived");
        com::check(main->RemoveRecord(id));
        EXPECT_EQ(write(main.get(), 0, "next"), id + 1);
        com::check(main->RemoveRecord(id + 1));
    } // written back here; the seed remembers the ids handed out
    auto again = open("MainDB-KLXC");
    EXPECT_EQ(write(again.get(), 0, "after reopening"), 0x1008);
}

TEST_F(SyncSuite, PurgingWithNothingDeletedKeepsEveryRecordWhole)
{
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC");
    com::check(main->RemoveRecordSet(eRemoveDeleted, 0)); // the one deleted record goes
    std::int32_t id = write(main.get(), 0, "fresh record");
    com::check(main->RemoveRecordSet(eRemoveDeleted, 0)); // nothing left to purge
    std::int32_t index = 0, category = 0, attributes = 0;
    ByteArray data;
    com::check(main->ReadRecordById(&index, id, &category, &attributes, &data));
    EXPECT_EQ(data, bytesOf("fresh record"));
    com::check(main->SetIterationIndex(0));
    EXPECT_FALSE(readNext(main.get()).data.empty());
}

TEST_F(SyncSuite, RemoveRecordsSingleAndBySelector)
{
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC");
    EXPECT_FALSE(errorOf(main->RemoveRecord(0x4444)).empty());
    EXPECT_EQ(main->RemoveRecordSet(5, 0), com::E_INVALIDARG);
    com::TakeErrorInfo();

    com::check(main->RemoveRecordSet(eRemoveDeleted, 0));
    std::int32_t count = 0;
    com::check(main->GetRecordCount(&count));
    EXPECT_EQ(count, 2);
    com::check(main->SetIterationIndex(0));
    EXPECT_EQ(readNext(main.get()).id, 0x1001);
    EXPECT_EQ(readNext(main.get()).id, 0x1005);

    com::check(main->RemoveRecordSet(eRemoveAll, 0));
    com::check(main->GetRecordCount(&count));
    EXPECT_EQ(count, 0);
    com::check(main->SetIterationIndex(0));
    EXPECT_TRUE(eof(main.get()));
}

TEST_F(SyncSuite, ReadOnlyAdapterRefusesChanges)
{
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC", eDbRead);
    std::int32_t id = 0;
    EXPECT_EQ(main->WriteRecord(&id, 0, 0, bytesOf("x")), com::E_ACCESSDENIED);
    EXPECT_EQ(main->RemoveRecordSet(eRemoveAll, 0), com::E_ACCESSDENIED);
    com::TakeErrorInfo();
}

TEST_F(SyncSuite, ChangesReachTheFileWhenTheLastAdapterGoes)
{
    const auto before = gvtest::readFileBytes(mainFile());
    HotSyncSession session(settings());
    auto first = open("MainDB-KLXC");
    auto second = open("MainDB-KLXC");
    std::int32_t id = write(first.get(), 0, "shared");
    std::int32_t index, category, attributes;
    ByteArray data;
    com::check(second->ReadRecordById(&index, id, &category, &attributes, &data)); // one copy in memory
    EXPECT_EQ(data, bytesOf("shared"));

    first = nullptr;
    EXPECT_EQ(gvtest::readFileBytes(mainFile()), before);
    second = nullptr;
    PalmDatabase saved = PalmDatabase::load(mainFile());
    ASSERT_EQ(saved.records.size(), 4u);
    EXPECT_EQ(saved.records[3].data, bytesOf("shared"));
    EXPECT_EQ(saved.header.modificationNumber, 8u);
    EXPECT_NE(saved.header.modificationDate, 0xB1000000u);
    EXPECT_EQ(saved.header.creationDate, 0xB0000000u);
    EXPECT_EQ(*saved.appInfo, bytesOf("APPINFO-BLOCK"));
    EXPECT_EQ(*saved.sortInfo, bytesOf("SORT"));
}

std::vector<std::string> stagedFiles(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(folder)) {
        if (e.path().filename().string().find(".staged-") != std::string::npos)
            names.push_back(e.path().filename().string());
    }
    return names;
}

// In a transaction the handheld's changes reach the file only when
// published: staged first (durably, beside the file), put in place after.
// Discard brings back what the file holds; nothing else ever writes them.
TEST_F(SyncSuite, ATransactionWritesItsChangesOnlyWhenPublished)
{
    const auto before = gvtest::readFileBytes(mainFile());
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC");
    auto transaction = main.as<IPDDatabaseTransaction>();
    ASSERT_TRUE(transaction);
    com::check(transaction->Begin());
    std::string token = "x";
    com::check(transaction->Stage(&token));
    EXPECT_EQ(token, "") << "nothing changed, nothing staged";

    // Dropped changes: the database reads as before, also for a new adapter.
    write(main.get(), 0x1001, "dropped");
    com::check(transaction->Discard());
    std::int32_t index, category, attributes;
    ByteArray data;
    com::check(open("MainDB-KLXC")->ReadRecordById(&index, 0x1001, &category, &attributes, &data));
    EXPECT_NE(data, bytesOf("dropped"));

    write(main.get(), 0, "kept");
    gvtest::SystemCallTrace trace;
    com::check(transaction->Stage(&token));
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(gvtest::readFileBytes(mainFile()), before);
    ASSERT_EQ(stagedFiles(handheldDir()).size(), 1u);
    const std::string staged = stagedFiles(handheldDir())[0];
    // The staged file and its entry in the folder are on disk before Stage
    // reports them.
    auto flushed = trace.find(gvtest::Call::Fsync, staged);
    ASSERT_TRUE(flushed);
    EXPECT_TRUE(trace.find(gvtest::Call::FsyncFolder, "handheld", *flushed));

    com::check(transaction->Publish(token));
    EXPECT_TRUE(stagedFiles(handheldDir()).empty());
    EXPECT_EQ(PalmDatabase::load(mainFile()).records.back().data, bytesOf("kept"));
    EXPECT_EQ(trace.durabilityFaults(), std::vector<std::string>{});

    // Changes not published are never written by the end of the HotSync.
    write(main.get(), 0, "never committed");
    main = nullptr;
    transaction = nullptr;
    session.end();
    EXPECT_EQ(PalmDatabase::load(mainFile()).records.back().data, bytesOf("kept"));
}

// Staged changes that an interrupted HotSync left: listed, put in place or
// dropped before the database is opened, never while it is.
TEST_F(SyncSuite, StagedChangesLeftBehindArePublishedOrDiscardedByName)
{
    std::string token;
    {
        HotSyncSession session(settings());
        auto main = open("MainDB-KLXC");
        auto transaction = main.as<IPDDatabaseTransaction>();
        com::check(transaction->Begin());
        write(main.get(), 0, "staged");
        com::check(transaction->Stage(&token));
        main = nullptr;
        transaction = nullptr;
        session.end();
    }
    ASSERT_EQ(stagedFiles(handheldDir()).size(), 1u) << "the end of a HotSync leaves staged changes for the next";

    HotSyncSession session(settings());
    auto query = com::createInstance<IPDDatabaseQuery>(IPDDatabaseQuery::clsid);
    auto staged = query.as<IPDStagedChanges>();
    ASSERT_TRUE(staged);
    std::vector<std::string> tokens;
    com::check(staged->ListStaged("MainDB-KLXC", &tokens));
    EXPECT_EQ(tokens, std::vector<std::string>{token});
    EXPECT_NE(errorOf(staged->DiscardStaged("MainDB-KLXC", "../../etc")).find("does not name"), std::string::npos);
    {
        auto open = this->open("OilGradeDB-KLXC");
        EXPECT_NE(errorOf(staged->PublishStaged("OilGradeDB-KLXC", token)).find("is open"), std::string::npos);
    }
    com::check(staged->PublishStaged("MainDB-KLXC", token));
    EXPECT_EQ(PalmDatabase::load(mainFile()).records.back().data, bytesOf("staged"));
    com::check(staged->PublishStaged("MainDB-KLXC", token)); // gone: published before
    com::check(staged->ListStaged("MainDB-KLXC", &tokens));
    EXPECT_TRUE(tokens.empty());
}

TEST_F(SyncSuite, EndWritesDatabasesStillReferencedAndLeavesOthersAlone)
{
    const auto oilBefore = gvtest::readFileBytes(handheldDir() / "OilGradeDB-KLXC.pdb");
    auto session = std::make_unique<HotSyncSession>(settings());
    auto main = open("MainDB-KLXC");
    auto oil = open("OilGradeDB-KLXC");
    com::check(main->RemoveRecord(0x1001));
    oil->SetIterationIndex(0);
    readNext(oil.get());
    session->end();

    EXPECT_EQ(PalmDatabase::load(mainFile()).records.size(), 2u);
    EXPECT_EQ(gvtest::readFileBytes(handheldDir() / "OilGradeDB-KLXC.pdb"), oilBefore);
    std::int32_t id = 0;
    EXPECT_EQ(errorOf(main->WriteRecord(&id, 0, 0, bytesOf("late"))), "The HotSync has ended");
    session.reset();
    main = nullptr; // released after the end: nothing more is written
    oil = nullptr;
    EXPECT_EQ(PalmDatabase::load(mainFile()).records.size(), 2u);
}

TEST_F(SyncSuite, EndReportsADatabaseThatCannotBeWritten)
{
    HotSyncSession session(settings());
    auto main = open("MainDB-KLXC");
    write(main.get(), 0, "lost folder");
    std::filesystem::remove_all(handheldDir());
    EXPECT_THROW(session.end(), PalmDatabaseError);
    ASSERT_FALSE(session.logLines().empty());
    EXPECT_NE(session.logLines().back().find("MainDB-KLXC.pdb"), std::string::npos);
}

class PDUtility : public testing::Test {
protected:
    PDUtility() : session_({"u", "p", 0, dir_.path()}), util_(com::createInstance<IPDUtility>(IPDUtility::clsid)) {}

    gvtest::TempDir dir_;
    HotSyncSession session_;
    ComPtr<IPDUtility> util_;
};

TEST_F(PDUtility, NumbersFollowTheSwapFlag)
{
    struct Case {
        const char *name;
        int width;
        bool swap;
        std::int32_t value;
        ByteArray expected;
    };
    const Case cases[] = {
        {"word, most significant first", 2, true, 0x1234, {0, 0x12, 0x34, 0, 0, 0}},
        {"word, least significant first", 2, false, 0x1234, {0, 0x34, 0x12, 0, 0, 0}},
        {"dword, most significant first", 4, true, -2, {0, 0xFF, 0xFF, 0xFF, 0xFE, 0}},
        {"dword, least significant first", 4, false, 0x01020304, {0, 4, 3, 2, 1, 0}},
    };
    for (const Case &c : cases) {
        ByteArray a(6, 0);
        std::int32_t next = 0;
        if (c.width == 2)
            com::check(util_->WriteWord(&a, 1, c.swap, static_cast<std::uint16_t>(c.value), &next));
        else
            com::check(util_->WriteDWord(&a, 1, c.swap, c.value, &next));
        EXPECT_EQ(a, c.expected) << c.name;
        EXPECT_EQ(next, 1 + c.width) << c.name;

        std::int32_t back = 0;
        if (c.width == 2) {
            std::uint16_t w = 0;
            com::check(util_->ReadWord(a, 1, c.swap, &w, &next));
            back = w;
        } else {
            com::check(util_->ReadDWord(a, 1, c.swap, &back, &next));
        }
        EXPECT_EQ(back, c.value) << c.name;
        EXPECT_EQ(next, 1 + c.width) << c.name;
    }
}

TEST_F(PDUtility, AccessOutsideTheArrayIsRefused)
{
    ByteArray a(8, 0xAA);
    const ByteArray untouched = a;
    std::int32_t next = 0, value = 0;
    std::uint16_t word = 0;
    for (std::int32_t offset : {-1, 7, 8, 100, 0x7FFFFFFF}) {
        EXPECT_EQ(util_->WriteWord(&a, offset, true, 1, &next), com::E_INVALIDARG) << offset;
        EXPECT_EQ(util_->ReadWord(a, offset, true, &word, &next), com::E_INVALIDARG) << offset;
    }
    for (std::int32_t offset : {-4, 5, 8, 0x7FFFFFFE}) {
        EXPECT_EQ(util_->WriteDWord(&a, offset, true, 1, &next), com::E_INVALIDARG) << offset;
        EXPECT_EQ(util_->ReadDWord(a, offset, true, &value, &next), com::E_INVALIDARG) << offset;
    }
    EXPECT_EQ(a, untouched);
    EXPECT_NE(com::TakeErrorInfo().find("outside the array"), std::string::npos);
    com::check(util_->ReadDWord(a, 4, true, &value, &next)); // the last four bytes are fine
}

TEST_F(PDUtility, StringsAreSingleByteTextWithOneZero)
{
    ByteArray a(10, 0xEE);
    std::int32_t next = 0;
    com::check(util_->WriteString(&a, 2, "Caf\u00e9\u20ac", &next));
    EXPECT_EQ(a, (ByteArray{0xEE, 0xEE, 'C', 'a', 'f', 0xE9, 0x80, 0, 0xEE, 0xEE}));
    EXPECT_EQ(next, 8);

    std::string text;
    com::check(util_->ReadString(a, 2, 10, &text, &next));
    EXPECT_EQ(text, "Caf\u00e9\u20ac");
    com::check(util_->ReadString(a, 2, 3, &text, &next));
    EXPECT_EQ(text, "Caf");
    com::check(util_->WriteString(&a, 0, "\u65e5", &next));
    com::check(util_->ReadString(a, 0, 5, &text, &next));
    EXPECT_EQ(text, "?");

    const ByteArray before = a;
    EXPECT_EQ(util_->WriteString(&a, 5, "too long", &next), com::E_INVALIDARG);
    EXPECT_EQ(util_->WriteString(&a, 9, "x", &next), com::E_INVALIDARG); // no room for the zero
    EXPECT_EQ(util_->WriteString(&a, -1, "", &next), com::E_INVALIDARG);
    EXPECT_EQ(a, before);
    ByteArray noZero{'a', 'b', 'c'};
    EXPECT_EQ(util_->ReadString(noZero, 0, 5, &text, &next), com::E_INVALIDARG); // would run past the end
    EXPECT_EQ(util_->ReadString(noZero, 4, 1, &text, &next), com::E_INVALIDARG);
    com::TakeErrorInfo();
    com::check(util_->ReadString(noZero, 0, 3, &text, &next));
    EXPECT_EQ(text, "abc");
}

} // namespace
