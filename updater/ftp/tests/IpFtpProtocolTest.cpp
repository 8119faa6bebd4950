// Reply framing and the command stack, without sockets.
#include "ftp/IpFtpCommandStack.h"
#include "ftp/IpFtpErrors.h"
#include "ftp/IpFtpReply.h"
#include "ftp/IpUtils.h"

#include <gtest/gtest.h>

using namespace ftp;

namespace {

struct FramingCase {
    const char *name;
    std::vector<QByteArray> pieces;
    std::vector<std::pair<int, QString>> replies;
};

void PrintTo(const FramingCase &c, std::ostream *out)
{
    *out << c.name;
}

class ReplyFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(ReplyFraming, CollectsCompleteReplies)
{
    TIpFtpReplyCollector collector;
    std::vector<std::pair<int, QString>> got;
    for (const QByteArray &piece : GetParam().pieces)
        for (const TIpFtpReply &r : collector.Add(piece))
            got.emplace_back(r.Code, r.Text);
    EXPECT_EQ(got, GetParam().replies);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyFraming,
    ::testing::Values(FramingCase{"SingleLine", {"220 Ready\r\n"}, {{220, "220 Ready"}}},
                      FramingCase{"SplitAcrossReads", {"22", "0 Re", "ady\r", "\n"}, {{220, "220 Ready"}}},
                      FramingCase{"TwoInOneRead", {"331 Pw\r\n230 In\r\n"}, {{331, "331 Pw"}, {230, "230 In"}}},
                      FramingCase{"BareLineFeed", {"230 In\n"}, {{230, "230 In"}}},
                      FramingCase{"MultiLine",
                                  {"220-Hello\r\n", "more text\r\n220-still open\r\n", "220 Done\r\n"},
                                  {{220, "220-Hello\r\nmore text\r\n220-still open\r\n220 Done"}}},
                      FramingCase{"MultiLineClosesOnlyOnSameCode",
                                  {"211-Status\r\n 230 inner\r\n230 other code\r\n211 End\r\n"},
                                  {{211, "211-Status\r\n 230 inner\r\n230 other code\r\n211 End"}}},
                      FramingCase{"NonNumericCodeIsZero", {"abc hello\r\n"}, {{0, "abc hello"}}},
                      FramingCase{"ShortLine", {"22\r\n"}, {{0, "22"}}},
                      FramingCase{"IncompleteLineWaits", {"220 Rea"}, {}}),
    [](const ::testing::TestParamInfo<FramingCase> &info) { return std::string(info.param.name); });

TEST(ReplyFramingLimits, ReplyAtTheCapIsAcceptedAndBeyondItFails)
{
    const qsizetype cap = TIpFtpReplyCollector::MaxReplySize;
    {
        TIpFtpReplyCollector collector;
        const QByteArray line = "500 " + QByteArray(cap - 6, 'x') + "\r\n"; // cap bytes with CR LF
        const auto replies = collector.Add(line);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].Text.size(), cap - 2);
    }
    {
        TIpFtpReplyCollector collector;
        try {
            collector.Add("500 " + QByteArray(cap, 'x'));
            FAIL() << "no failure";
        } catch (const EIpError &e) {
            EXPECT_EQ(e.Code(), IpFtpErrReplyTooLong);
        }
        // The collector starts afresh afterwards.
        const auto replies = collector.Add("220 ok\r\n");
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].Code, 220);
    }
}

TEST(ReplyFramingLimits, MultiLineReplyCountsAllItsLines)
{
    TIpFtpReplyCollector collector;
    collector.Add("211-Begin\r\n");
    const QByteArray line = QByteArray(1000, 'y') + "\r\n";
    bool failed = false;
    for (int i = 0; i < 100 && !failed; ++i) {
        try {
            collector.Add(line);
        } catch (const EIpError &e) {
            EXPECT_EQ(e.Code(), IpFtpErrReplyTooLong);
            failed = true;
            EXPECT_GE((i + 1) * line.size(), TIpFtpReplyCollector::MaxReplySize - 64);
        }
    }
    EXPECT_TRUE(failed);
}

TEST(CommandStack, PopsLastPushedFirst)
{
    TIpFtpCommandStack stack;
    stack.Push(QStringLiteral("RETR f"));
    stack.Push(QStringLiteral("REST 0"));
    stack.Push(QStringLiteral("TYPE I"));
    EXPECT_EQ(stack.Pop(), QStringLiteral("TYPE I"));
    EXPECT_EQ(stack.Pop(), QStringLiteral("REST 0"));
    EXPECT_EQ(stack.Pop(), QStringLiteral("RETR f"));
    EXPECT_EQ(stack.Pop(), std::nullopt);
}

TEST(CommandStack, The129thCommandFailsAndEmptiesTheStack)
{
    TIpFtpCommandStack stack;
    for (int i = 0; i < 128; ++i)
        stack.Push(QStringLiteral("NOOP %1").arg(i));
    try {
        stack.Push(QStringLiteral("NOOP overflow"));
        FAIL() << "no failure";
    } catch (const EIpError &e) {
        EXPECT_STREQ(e.what(), "Fatal Error: Command stack full");
    }
    EXPECT_TRUE(stack.Empty());
}

} // namespace
