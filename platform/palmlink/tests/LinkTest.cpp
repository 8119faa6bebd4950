// The link stacks end to end: a desktop (DlpClient) and a handheld
// (serveDlp) over Net Sync and Serial Sync, on TCP, a pty and a socket
// pair that loses or cuts bytes. A bad peer ends in a LinkError, never a
// crash or a hang.

#include "StreamPair.h"

#include "palmlink/CmpHandshake.h"
#include "palmlink/DlpClient.h"
#include "palmlink/DlpServer.h"
#include "palmlink/NetSyncLink.h"
#include "palmlink/PadpLink.h"
#include "palmlink/PtyPair.h"
#include "palmlink/SerialPort.h"
#include "palmlink/TcpStream.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace palmlink {
namespace {

using namespace std::chrono_literals;
using namespace dlp;

Bytes pattern(std::size_t size, std::uint8_t seed)
{
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return b;
}

// A handheld with one user and one record database of two records.
class SmallHandheld : public DlpHandler {
public:
    Bytes written;
    Response handle(const Request &q) override
    {
        Response r{q.function, error::None, {}};
        switch (static_cast<Function>(q.function)) {
        case Function::ReadUserInfo: {
            UserInfo u;
            u.setName("Pat Driver");
            u.lastSyncPc = 0x1234;
            r.args.push_back(makeArgument(u));
            break;
        }
        case Function::OpenDB:
            if (decodeArgument<OpenDBRequest>(q.args.at(0).data).name == "MainDB-KLXC")
                r.args.push_back(makeArgument(OpenDBResponse{7}));
            else
                r.errorCode = error::NotFound;
            break;
        case Function::ReadRecord: {
            auto a = decodeArgument<ReadRecordByIndexRequest>(q.find(0x21)->data);
            if (a.index > 1) {
                r.errorCode = error::NotFound;
                break;
            }
            RecordData d;
            d.recordId = 0x100 + a.index;
            d.index = a.index;
            d.data = pattern(a.index == 0 ? 5000 : 3, 1);
            d.size = static_cast<std::uint16_t>(d.data.size());
            d.attributes = recattr::Dirty;
            r.args.push_back(makeArgument(d));
            break;
        }
        case Function::WriteRecord: {
            auto a = decodeArgument<WriteRecordRequest>(q.args.at(0).data);
            written = a.data;
            r.args.push_back(makeArgument(WriteRecordResponse{a.recordId ? a.recordId : 0x777}));
            break;
        }
        case Function::CloseDB:
        case Function::EndOfSync:
            break;
        default:
            r.errorCode = error::IllegalRequest;
        }
        return r;
    }
};

// The same requests without checking the answers, for a link that is cut.
void plainSession(DlpClient &client)
{
    client.readUserInfo();
    try {
        client.openDb("Missing", openmode::Read);
    } catch (const DlpError &) {
    }
    std::uint8_t h = client.openDb("MainDB-KLXC", openmode::Read | openmode::Write);
    client.readRecordByIndex(h, 0);
    client.readRecordByIndex(h, 1);
    client.writeRecord(h, 0, 0, 0, pattern(4000, 9));
    client.closeDb(h);
    client.endOfSync();
}

// What the desktop does in every stack test.
void desktopSession(DlpClient &client)
{
    EXPECT_EQ(client.readUserInfo().name(), "Pat Driver");
    EXPECT_THROW(client.openDb("Missing", openmode::Read), DlpError);
    std::uint8_t h = client.openDb("MainDB-KLXC", openmode::Read | openmode::Write);
    EXPECT_EQ(h, 7);
    auto first = client.readRecordByIndex(h, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data, pattern(5000, 1));
    EXPECT_EQ(client.readRecordByIndex(h, 1)->recordId, 0x101u);
    EXPECT_FALSE(client.readRecordByIndex(h, 2));
    EXPECT_EQ(client.writeRecord(h, 0, 0, 0, pattern(4000, 9)), 0x777u);
    client.closeDb(h);
    client.endOfSync();
}

enum class Stack { NetSyncTcp, SerialTcp, SerialPty };

const char *stackName(Stack s)
{
    return s == Stack::NetSyncTcp ? "NetSyncTcp" : s == Stack::SerialTcp ? "SerialTcp" : "SerialPty";
}

TEST(LinkStacks, DesktopAndHandheldTalkOverEveryStack)
{
    for (Stack stack : {Stack::NetSyncTcp, Stack::SerialTcp, Stack::SerialPty}) {
        SCOPED_TRACE(stackName(stack));
        SmallHandheld handheld;
        std::unique_ptr<ByteStream> desktopStream;
        std::unique_ptr<SerialPort> desktopPort;
        std::unique_ptr<TcpListener> listener;
        std::unique_ptr<PtyPair> pty;
        if (stack == Stack::SerialPty) {
            pty = std::make_unique<PtyPair>();
            desktopPort = SerialPort::open(pty->slavePath());
        } else {
            listener = std::make_unique<TcpListener>("127.0.0.1", 0);
        }
        auto device = std::async(std::launch::async, [&]() -> std::uint16_t {
            std::unique_ptr<ByteStream> own;
            ByteStream *s;
            if (pty) {
                s = &pty->master();
            } else {
                own = TcpStream::connect("127.0.0.1", listener->port(), 5s);
                s = own.get();
            }
            if (stack == Stack::NetSyncTcp) {
                NetSyncLink link(*s);
                link.openHandshake(5s);
                return serveDlp(link, handheld, 5s);
            }
            PadpLink link(*s);
            openCmp(link, nullptr, 115200, 5s);
            return serveDlp(link, handheld, 5s);
        });
        ByteStream *s = desktopPort.get();
        if (listener) {
            desktopStream = listener->accept(deadlineIn(5s));
            s = desktopStream.get();
        }
        if (stack == Stack::NetSyncTcp) {
            NetSyncLink link(*s);
            link.acceptHandshake(5s);
            DlpClient client(link, 5s);
            desktopSession(client);
        } else {
            PadpLink link(*s);
            CmpAgreement a = acceptCmp(link, desktopPort.get(), 57600, 5s);
            EXPECT_EQ(a.baudRate, 57600u);
            EXPECT_TRUE(a.longPackets);
            if (desktopPort) {
                EXPECT_EQ(desktopPort->baudRate(), 57600u);
            }
            DlpClient client(link, 5s);
            desktopSession(client);
        }
        EXPECT_EQ(device.get(), 0);
        EXPECT_EQ(handheld.written, pattern(4000, 9));
    }
}

// Lost packets in both directions are sent again; every message arrives
// once and whole.
TEST(PadpLink, DeliversEveryMessageOnceOverALossyLine)
{
    auto [a, b] = test::streamPair();
    test::FaultyStream lossyA(*a), lossyB(*b);
    lossyA.drop = [](std::size_t i) { return i % 3 == 1; };
    lossyB.drop = [](std::size_t i) { return i % 4 == 2; };
    PadpOptions fast;
    fast.ackTimeout = 40ms;
    fast.retries = 20;
    PadpLink desktop(lossyA, fast), handheld(lossyB, fast);
    auto peer = std::async(std::launch::async, [&] {
        std::vector<Bytes> got;
        for (int i = 0; i < 3; ++i) {
            got.push_back(handheld.receive(5s));
            handheld.send(pattern(2500 + i, 3), handheld.lastReceivedXid());
        }
        return got;
    });
    for (int i = 0; i < 3; ++i) {
        desktop.send(pattern(3000 + i, 5), desktop.nextXid());
        EXPECT_EQ(desktop.receive(5s), pattern(2500 + i, 3));
    }
    // Stay on the line until the peer heard the last acknowledgement.
    while (peer.wait_for(0ms) != std::future_status::ready) {
        try {
            desktop.receive(50ms);
            ADD_FAILURE() << "a message arrived twice";
        } catch (const TimeoutError &) {
        }
    }
    auto got = peer.get();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(got[i], pattern(3000 + i, 5));
    EXPECT_GT(lossyA.writes(), 3u * 4u); // fragments plus the retries
}

// A peer that sends garbage, a length past what it sends, half a packet or
// nothing ends the wait with a LinkError within the time-out.
TEST(Links, BadPeersEndInALinkError)
{
    struct Case {
        const char *what;
        bool serial;
        Bytes peerSends;
        bool peerCloses;
        const char *expected; // "timeout", "decode", "closed"
    };
    const std::vector<Case> cases = {
        {"NetSyncSilence", false, {}, false, "timeout"},
        {"NetSyncGarbage", false, fromHex("ff00deadbeef0000"), false, "decode"},
        {"NetSyncLengthPastTheEnd", false,
         fromHex("01ff00001000"
                 "0102"),
         false, "timeout"},
        {"NetSyncHugeLength", false, fromHex("01ff7fffffff"), false, "decode"},
        {"NetSyncClosedMidPacket", false, fromHex("01ff000000"), true, "closed"},
        {"SerialGarbage", true, pattern(3000, 0), false, "timeout"},
        {"SerialHeaderWithoutBody", true, fromHex("beefed030302ffffffaf"), false, "timeout"},
        {"SerialClosed", true, {}, true, "closed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto [desk, peer] = test::streamPair();
        if (!c.peerSends.empty())
            peer->write(c.peerSends);
        if (c.peerCloses)
            peer->close();
        std::string got = "none";
        try {
            if (c.serial) {
                PadpLink link(*desk);
                link.receive(150ms);
            } else {
                NetSyncLink link(*desk);
                link.acceptHandshake(150ms);
            }
        } catch (const TimeoutError &) {
            got = "timeout";
        } catch (const DecodeError &) {
            got = "decode";
        } catch (const ConnectionClosedError &) {
            got = "closed";
        }
        EXPECT_EQ(got, c.expected);
    }
}

// The link cut after any number of bytes ends both sides with a LinkError.
TEST(Links, ACutAtAnyMomentEndsBothSides)
{
    for (bool serial : {false, true}) {
        for (std::size_t cut : {0, 1, 5, 6, 30, 60, 100, 150, 200, 400, 800, 2000, 4000}) {
            SCOPED_TRACE(std::string(serial ? "serial" : "net") + " cut after " + std::to_string(cut));
            auto [desk, dev] = test::streamPair();
            test::FaultyStream cutting(*dev);
            cutting.cutAfter = cut;
            SmallHandheld handheld;
            auto device = std::async(std::launch::async, [&, serial] {
                try {
                    if (serial) {
                        PadpOptions o;
                        o.ackTimeout = 50ms;
                        o.retries = 3;
                        PadpLink link(cutting, o);
                        openCmp(link, nullptr, 115200, 500ms);
                        serveDlp(link, handheld, 500ms);
                    } else {
                        NetSyncLink link(cutting);
                        link.openHandshake(500ms);
                        serveDlp(link, handheld, 500ms);
                    }
                } catch (const LinkError &) {
                    return true;
                }
                return false;
            });
            bool desktopFailed = false;
            try {
                if (serial) {
                    PadpOptions o;
                    o.ackTimeout = 50ms;
                    o.retries = 3;
                    PadpLink link(*desk, o);
                    acceptCmp(link, nullptr, 115200, 500ms);
                    DlpClient client(link, 500ms);
                    plainSession(client);
                } else {
                    NetSyncLink link(*desk);
                    link.acceptHandshake(500ms);
                    DlpClient client(link, 500ms);
                    plainSession(client);
                }
            } catch (const LinkError &) {
                desktopFailed = true;
            }
            EXPECT_TRUE(desktopFailed);
            EXPECT_TRUE(device.get());
        }
    }
}

TEST(DlpServer, AnswersRequestsThatDoNotDecodeWithAnError)
{
    auto [desk, dev] = test::streamPair();
    SmallHandheld handheld;
    auto device = std::async(std::launch::async, [&] {
        NetSyncLink link(*dev);
        return serveDlp(link, handheld, 2s);
    });
    NetSyncLink link(*desk);
    struct Case {
        const char *what;
        Bytes request;
        std::uint16_t error;
    };
    const std::vector<Case> cases = {
        {"ArgumentPastTheEnd", fromHex("1701200900804d656d"), error::Param},
        {"ArgumentTooShortForItsLayout", fromHex("17012001ff"), error::Param},
        {"UnknownFunction", fromHex("7f00"), error::IllegalRequest},
        {"AResponseInsteadOfARequest", fromHex("af000000"), error::IllegalRequest},
        {"EndOfSyncWithBadArgument", fromHex("2f012001ff"), error::Param},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        link.send(c.request, link.nextXid());
        Response r = Response::decode(link.receive(2s));
        EXPECT_EQ(r.errorCode, c.error);
    }
    DlpClient client(link, 2s);
    client.endOfSync(EndOfSyncRequest::kUserCancelled);
    EXPECT_EQ(device.get(), EndOfSyncRequest::kUserCancelled);
}

} // namespace
} // namespace palmlink
