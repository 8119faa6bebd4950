#include "palmlink/DlpCommands.h"

#include <gtest/gtest.h>

#include <functional>

namespace palmlink::dlp {
namespace {

// Requests built from typed arguments give the bytes a real desktop sent.
TEST(DlpCommands, BuildsRecordedRequests)
{
    struct Case {
        const char *what;
        Request request;
        const char *hex;
    };
    WriteUserInfoRequest user;
    user.lastSync = {2023, 6, 13, 0, 0, 1, 0};
    user.modFlags = usermod::SyncDate | usermod::Name;
    user.setName("Test 0");
    CreateDBRequest create;
    create.creator = fourCc("AAAA");
    create.type = fourCc("DATA");
    create.dbFlags = dbflag::Backup;
    create.name = "foobar";
    ReadRecordByIdRequest byId;
    byId.handle = 1;
    byId.recordId = 0x457001;
    const std::vector<Case> cases = {
        {"ReadSysInfo", {0x12, {makeArgument(ReadSysInfoRequest{})}}, "1201200400010004"},
        {"WriteUserInfo",
         {0x11, {makeArgument(user)}},
         "1101201d00000000000000000000000007e7060d00000100300754657374203000"},
        {"CreateDB", {0x18, {makeArgument(create)}}, "180120154141414144415441000000080000666f6f62617200"},
        {"OpenDB", {0x17, {makeArgument(OpenDBRequest{0, openmode::Read, "MemoDB"})}}, "1701200900804d656d6f444200"},
        {"ReadRecordById", {0x20, {makeArgument(byId)}}, "2001200a0100004570010000ffff"},
        {"FindDBByHandle", {0x39, {makeArgument(FindDBByHandleRequest{0xE0, 1})}}, "39012102e001"},
        {"EndOfSync", {0x2F, {makeArgument(EndOfSyncRequest{})}}, "2f0120020000"},
        {"OpenConduit", {0x2E, {}}, "2e00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(toHex(c.request.encode()), c.hex);
        EXPECT_EQ(Request::decode(fromHex(c.hex)), c.request);
    }
}

TEST(DlpCommands, DecodesRecordedResponses)
{
    Response sys = Response::decode(fromHex("92020000200e0540301700010000000401000000210c00010002000300000000ffe1"));
    auto versions = decodeArgument<SysInfoVersions>(sys.find(0x21)->data);
    EXPECT_EQ(versions.dlpMajor, 1);
    EXPECT_EQ(versions.dlpMinor, 2);
    EXPECT_EQ(versions.maxRecordSize, 0xFFE1u);

    Response user = Response::decode(
        fromHex("90010000202500000000000000000000000007e7060c1100000007e7060c11000000070054657374203000"));
    auto info = decodeArgument<UserInfo>(user.args.at(0).data);
    EXPECT_EQ(info.name(), "Test 0");
    EXPECT_EQ(info.lastSync.year, 2023);
    EXPECT_EQ(info.lastSync.toUnix(), (DateTime{2023, 6, 12, 17, 0, 0, 0}.toUnix()));

    Response found = Response::decode(fromHex(
        "b9020000203e00000004030b00003caa34408008444154414141414100000000000107e7060e0608050007e7060e06080500000003e8"
        "00030000ffff666f6f62617200002118000000000000005400000000000000000000000000000000"));
    auto db = decodeArgument<FoundDB>(found.find(0x20)->data);
    EXPECT_EQ(db.info.name(), "foobar");
    EXPECT_EQ(fourCcText(db.info.creator), "AAAA");
    DbInfo rebuilt = db.info;
    rebuilt.setName("foobar");
    EXPECT_EQ(rebuilt, db.info); // the name's padding to an even size is what the device sends
}

// Arguments whose sizes or counts do not fit are refused, not read past.
TEST(DlpCommands, RefusesArgumentsThatDoNotFit)
{
    struct Case {
        const char *what;
        std::function<void()> decode;
    };
    const std::vector<Case> cases = {
        {"UserNameLongerThanTheArgument",
         [] { decodeArgument<UserInfo>(fromHex("000000000000000000000000000000000000000000000000000000002000")); }},
        {"DbInfoTotalSizeBelowItsHeader",
         [] {
             Bytes b = fromHex("002a800114"); // DBList header, one entry
             b.resize(4);
             b[3] = 1;
             Bytes entry(44, 0);
             entry[0] = 10;
             b.insert(b.end(), entry.begin(), entry.end());
             decodeArgument<DBList>(b);
         }},
        {"RecordIdCountPastTheEnd", [] { decodeArgument<RecordIDList>(fromHex("ffff00000001")); }},
        {"LeftOverBytes", [] { decodeArgument<OpenDBInfo>(fromHex("000100")); }},
        {"NameWithoutTerminator", [] { decodeArgument<OpenDBRequest>(fromHex("00804d656d6f")); }},
        {"CardSizesPastTheEnd",
         [] {
             Bytes b = fromHex("00000001");
             Bytes card(26, 0);
             card[0] = 26;
             card[24] = 200;
             b.insert(b.end(), card.begin(), card.end());
             decodeArgument<StorageInfo>(b);
         }},
        {"RequestArgumentCountPastTheEnd", [] { Request::decode(fromHex("2f02200200")); }},
        {"ResponseWithoutResponseBit", [] { Response::decode(fromHex("2f000000")); }},
        {"LongArgumentSizeHuge", [] { Request::decode(fromHex("2f0160ffffffff0000")); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_THROW(c.decode(), DecodeError);
    }
}

TEST(DlpCommands, KeepsTheArgumentWrapperForm)
{
    // A two-byte argument in a small wrapper stays small when encoded again.
    Bytes small = fromHex("2f01a00000020000");
    Request q = Request::decode(small);
    EXPECT_EQ(q.args.at(0).form, ArgForm::Small);
    EXPECT_EQ(q.encode(), small);
    Bytes longForm = fromHex("2f016000000000020000");
    EXPECT_EQ(Request::decode(longForm).encode(), longForm);
    EXPECT_EQ(Argument::make(0x20, Bytes(300)).form, ArgForm::Small);
}

} // namespace
} // namespace palmlink::dlp
