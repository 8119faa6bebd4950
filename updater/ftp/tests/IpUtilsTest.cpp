#include "ftp/IpUtils.h"

#include <gtest/gtest.h>

using namespace ftp;

namespace {

struct AddressCase {
    const char *text;
    const char *host;
    quint16 port;
    const char *user;
    const char *password;
    const char *path;
};

void PrintTo(const AddressCase &c, std::ostream *out)
{
    *out << '"' << c.text << '"';
}

class AddressParsing : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressParsing, SplitsTheText)
{
    const AddressCase &c = GetParam();
    const TIpAddressText a = ParseAddressText(QString::fromLatin1(c.text));
    EXPECT_EQ(a.Host, QString::fromLatin1(c.host));
    EXPECT_EQ(a.Port, c.port);
    EXPECT_EQ(a.UserId, QString::fromLatin1(c.user));
    EXPECT_EQ(a.Password, QString::fromLatin1(c.password));
    EXPECT_EQ(a.Path, QString::fromLatin1(c.path));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressParsing,
    ::testing::Values(AddressCase{"ftp.example.com", "ftp.example.com", 0, "", "", ""},
                      AddressCase{"ftp.example.com:2121", "ftp.example.com", 2121, "", "", ""},
                      AddressCase{"ftp://user:pw@host:2121/path/x", "host", 2121, "user", "pw", "/path/x"},
                      AddressCase{"ftp://user@host/", "host", 0, "user", "", "/"},
                      AddressCase{"user:p@ss@host", "host", 0, "user", "p@ss", ""},
                      AddressCase{"  10.0.0.5:21  ", "10.0.0.5", 21, "", "", ""},
                      AddressCase{"[::1]:2121", "::1", 2121, "", "", ""}, AddressCase{"host:", "host", 0, "", "", ""}),
    [](const ::testing::TestParamInfo<AddressCase> &info) { return "Case" + std::to_string(info.index); });

TEST(AddressParsingFailures, TextsWithoutHostOrWithBadPort)
{
    struct Case {
        const char *text;
        int code;
    };
    const Case cases[] = {
        {"", IpErrDestAddrReq},           {"ftp://", IpErrDestAddrReq}, {"user:pw@:21", IpErrDestAddrReq},
        {"/path/only", IpErrDestAddrReq}, {"host:0", IpErrInvalid},     {"host:65536", IpErrInvalid},
        {"host:21x", IpErrInvalid}};
    for (const Case &c : cases) {
        try {
            ParseAddressText(QString::fromLatin1(c.text));
            ADD_FAILURE() << "no failure for '" << c.text << "'";
        } catch (const EIpError &e) {
            EXPECT_EQ(e.Code(), c.code) << c.text;
            if (c.code == IpErrDestAddrReq) {
                EXPECT_STREQ(e.what(), "Destination address required");
            }
        }
    }
}

TEST(DottedAddress, OnlyFourDecimalBytesAreUsedDirectly)
{
    EXPECT_EQ(DottedIPv4Address(QStringLiteral("192.168.1.20")), QHostAddress(QStringLiteral("192.168.1.20")));
    EXPECT_EQ(DottedIPv4Address(QStringLiteral("255.255.255.255")), QHostAddress(QHostAddress::Broadcast));
    EXPECT_EQ(DottedIPv4Address(QStringLiteral("0.0.0.0")), QHostAddress(quint32(0)));
    for (const char *name : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "a.b.c.d", "1..2.3", "localhost", "::1", "1.2.3.-4"})
        EXPECT_FALSE(DottedIPv4Address(QString::fromLatin1(name)).has_value()) << name;
}

TEST(DelphiTimeFormat, FormatsLettersAsDelphiDoes)
{
    const QDateTime t(QDate(2026, 3, 7), QTime(14, 5, 9, 42));
    struct Case {
        const char *format;
        const char *expected;
    };
    const Case cases[] = {
        {"yyyy.mm.dd hh:nn:ss", "2026.03.07 14:05:09"},
        {"yy/m/d h:n:s", "26/3/7 14:5:9"},
        {"hh:mm", "14:05"}, // minutes after an hour
        {"dd.mm.yyyy hh:mm:ss.zzz", "07.03.2026 14:05:09.042"},
        {"h:nn am/pm", "2:05 pm"},
        {"'at' hh \"o'clock\"", "at 14 o'clock"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FormatDelphiDateTime(QString::fromLatin1(c.format), t), QString::fromLatin1(c.expected)) << c.format;
}

} // namespace
