// Every recorded session with a real handheld decodes completely, and every
// packet, message, request and response encodes back to the recorded bytes.
// Damaged recordings are reported, never decoded past the damage.

#include "palmlink/TraceDecoder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace palmlink {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> recordings()
{
    std::vector<fs::path> files;
    for (const auto &e : fs::directory_iterator(GV_DEVICE_SESSIONS))
        if (e.path().extension() == ".json")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(TraceDecoder, EveryRecordingDecodesAndEncodesBackIdentically)
{
    auto files = recordings();
    ASSERT_GE(files.size(), 12u) << "recordings expected in " << GV_DEVICE_SESSIONS;
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.filename().string());
        Trace trace = readTrace(file);
        auto kind = traceKindOf(file, trace);
        ASSERT_TRUE(kind);
        TraceReport report = decodeTrace(trace, *kind, true);
        EXPECT_TRUE(report.ok()) << report.fault;
        EXPECT_GT(report.messages, 4u);
        EXPECT_EQ(report.text.find("FAULT"), std::string::npos);
        // Every message ends the session with EndOfSync and its response.
        EXPECT_NE(report.text.find("EndOfSync request"), std::string::npos);
        EXPECT_NE(report.text.find("EndOfSync response, None (0)"), std::string::npos);
    }
}

TEST(TraceDecoder, ShowsTheFieldsOfRequestsAndResponses)
{
    const fs::path dir = GV_DEVICE_SESSIONS;
    struct Case {
        const char *file;
        std::vector<const char *> texts;
    };
    const std::vector<Case> cases = {
        {"read-memo-test.net.json",
         {"Net Sync opening hello", "OpenDB request", "name=\"MemoDB\"", "ReadRecordIDList response", "ids=[0x457001]",
          "ReadRecord response", "recordId=0x00457001", "ReadAppBlock response"}},
        {"device-info-test.serial-net.json",
         {"CMP wakeup", "CMP init flags=0x90", "baud=115200", "WriteUserInfo request", "userName=\"Test 1\\x00\"",
          "ReadStorageInfo response", "cardName=\"PalmCard\"", "manufacturer=\"Palm Computing\"",
          "hostAddress=\"192.168.2.4\\x00\"", "SetSysDateTime request"}},
        {"create-delete-db-test.net.json",
         {"DeleteDB response, NotFound (5)", "CreateDB request", "creator=\"AAAA\"", "FindDB response",
          "name=(8 bytes) 666f6f6261720000"}},
        {"write-db-test.serial-net.json", {"WriteResource request", "type=\"MBAR\"", "WriteRecord response"}},
        {"read-db-test.serial-net.json", {"(retransmission)", "ReadResource response", "ReadDBList response"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        Trace trace = readTrace(dir / c.file);
        TraceReport report = decodeTrace(trace, *traceKindOf(dir / c.file, trace), false);
        ASSERT_TRUE(report.ok()) << report.fault;
        for (const char *text : c.texts)
            EXPECT_NE(report.text.find(text), std::string::npos) << text;
    }
}

// The same bytes cut into single-byte entries, or all in one entry, decode
// to the same packets.
TEST(TraceDecoder, PacketBoundariesDoNotDependOnHowTheBytesArrived)
{
    const fs::path dir = GV_DEVICE_SESSIONS;
    for (const char *name : {"no-op-test.net.json", "no-op-test.serial-net.json"}) {
        SCOPED_TRACE(name);
        Trace trace = readTrace(dir / name);
        TraceKind kind = *traceKindOf(dir / name, trace);
        Trace bytewise, merged;
        for (const TraceEntry &e : trace) {
            for (std::uint8_t b : e.data)
                bytewise.push_back({e.direction, {b}});
            if (!merged.empty() && merged.back().direction == e.direction)
                merged.back().data.insert(merged.back().data.end(), e.data.begin(), e.data.end());
            else
                merged.push_back(e);
        }
        TraceReport original = decodeTrace(trace, kind, true);
        for (const Trace *variant : {&bytewise, &merged}) {
            TraceReport r = decodeTrace(*variant, kind, true);
            ASSERT_TRUE(r.ok()) << r.fault;
            EXPECT_EQ(r.packets, original.packets);
            EXPECT_EQ(r.messages, original.messages);
        }
    }
}

Trace damaged(const char *name, void (*change)(Trace &))
{
    Trace t = readTrace(fs::path(GV_DEVICE_SESSIONS) / name);
    change(t);
    return t;
}

TEST(TraceDecoder, ReportsDamageInsteadOfDecodingPastIt)
{
    struct Case {
        const char *what;
        Trace trace;
        TraceKind kind;
        const char *fault;
    };
    auto lastRead = [](Trace &t) -> Bytes & {
        for (auto it = t.rbegin(); it != t.rend(); ++it)
            if (it->direction == TraceEntry::Direction::Read)
                return it->data;
        throw std::logic_error("no read");
    };
    (void)lastRead;
    const std::vector<Case> cases = {
        {"NetSyncCutShort", damaged("no-op-test.net.json", [](Trace &t) { t.back().data.pop_back(); }),
         TraceKind::NetSync, "ends inside a Net Sync packet"},
        {"NetSyncUnknownType", damaged("no-op-test.net.json", [](Trace &t) { t[0].data[0] = 7; }), TraceKind::NetSync,
         "unknown packet type 7"},
        {"NetSyncHugeSize", damaged("no-op-test.net.json", [](Trace &t) { t[0].data[2] = 0x7F; }), TraceKind::NetSync,
         "above the limit"},
        {"HandshakeOutOfOrder", damaged("no-op-test.net.json", [](Trace &t) { t[0].data[6] = 0x92; }),
         TraceKind::NetSync, "opening hello: should start with 0x90"},
        {"DlpArgumentPastTheEnd",
         damaged("no-op-test.net.json",
                 [](Trace &t) {
                     // EndOfSync request: the argument claims 3 bytes where 2 follow.
                     t[t.size() - 2].data[9] = 3;
                 }),
         TraceKind::NetSync, "argument data: needs 3 bytes"},
        {"TypedArgumentTooShort",
         damaged("no-op-test.net.json",
                 [](Trace &t) {
                     // ReadSysInfo request: a 4-byte version cut to 3 bytes (frame kept consistent).
                     Bytes &b = t[5].data;
                     b[5] = 0x07;
                     b[9] = 3;
                     b.pop_back();
                 }),
         TraceKind::NetSync, "ReadSysInfo request argument 0x20"},
        {"SlpBadCrc", damaged("no-op-test.serial-net.json", [](Trace &t) { t[2].data.back() ^= 1; }),
         TraceKind::SerialSync, "CRC"},
        {"SlpBadChecksum", damaged("no-op-test.serial-net.json", [](Trace &t) { t[2].data[9] ^= 1; }),
         TraceKind::SerialSync, "header checksum"},
        {"SlpGarbage",
         damaged("no-op-test.serial-net.json",
                 [](Trace &t) {
                     t.insert(t.begin(), {TraceEntry::Direction::Read, {0x00, 0x42}});
                 }),
         TraceKind::SerialSync, "before a packet signature"},
        {"SerialCutShort", damaged("no-op-test.serial-net.json", [](Trace &t) { t.back().data.resize(5); }),
         TraceKind::SerialSync, "ends inside an SLP packet"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TraceReport r = decodeTrace(c.trace, c.kind, true);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.fault.find(c.fault), std::string::npos) << r.fault;
    }
}

TEST(TraceDecoder, RefusesFilesThatAreNoRecordings)
{
    for (const char *text : {"", "{}", "[{\"type\":\"read\"}]", "[{\"type\":\"peek\",\"data\":\"00\"}]",
                             "[{\"type\":\"read\",\"data\":\"0\"}]", "[{\"type\":\"read\",\"data\":\"zz\"}]"})
        EXPECT_THROW(parseTrace(text), DecodeError) << text;
    Trace t = parseTrace("[{\"type\":\"read\",\"data\":\"beef\"},{\"type\":\"write\",\"data\":\"\"}]");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(parseTrace(formatTrace(t)), t);
}

} // namespace
} // namespace palmlink
