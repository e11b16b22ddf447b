// The proxy conversations without sockets: request bytes, replies cut anywhere, every failure code.
#include "net/ProxyNegotiation.h"

#include <algorithm>
#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using State = ProxyNegotiation::State;

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

ProxyTarget ByAddress(const char* dotted, quint16 port) {
    in_addr address{};
    ::inet_aton(dotted, &address);
    return ProxyTarget{{}, address.s_addr, port};
}

ProxyTarget ByName(const char* name, quint16 port) {
    return ProxyTarget{name, 0, port};
}

// Feeds a reply the way a socket would: never more than Wanted() at a time, in pieces of `piece`.
QByteArray FeedAll(ProxyNegotiation& n, const QByteArray& reply, int piece = 1000,
                   qsizetype* taken = nullptr) {
    QByteArray requests;
    qsizetype at = 0;
    while (at < reply.size() && n.Wanted() > 0) {
        const int length = static_cast<int>(
            std::min<qsizetype>({qsizetype(n.Wanted()), qsizetype(piece), reply.size() - at}));
        requests += n.Feed(reply.constData() + at, length);
        at += length;
    }
    if (taken) {
        *taken = at;
    }
    return requests;
}

TEST(ProxyNegotiation, Socks4RequestByAddressIsNineBytes) {
    ProxyNegotiation n(ProxyKind::Socks4, ByAddress("10.1.2.3", 2121), "user", "pw");
    EXPECT_EQ(n.FirstRequest(), Bytes({4, 1, 0x08, 0x49, 10, 1, 2, 3, 0}));
    EXPECT_EQ(n.Wanted(), 8);
    FeedAll(n, Bytes({0, 90, 0, 0, 0, 0, 0, 0}), 3);
    EXPECT_EQ(n.state(), State::Established);
    EXPECT_EQ(n.Wanted(), 0);
}

TEST(ProxyNegotiation, Socks4aSendsTheNameAfterAddressZeroZeroZeroOne) {
    ProxyNegotiation n(ProxyKind::Socks4a, ByName("ftp.example.org", 21), {}, {});
    QByteArray expected = Bytes({4, 1, 0, 21, 0, 0, 0, 1, 0});
    expected += "ftp.example.org";
    expected += '\0';
    EXPECT_EQ(n.FirstRequest(), expected);
}

TEST(ProxyNegotiation, Socks4RejectFailsWithCode2) {
    ProxyNegotiation n(ProxyKind::Socks4, ByAddress("127.0.0.1", 21), {}, {});
    FeedAll(n, Bytes({0, 91, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(n.state(), State::Failed);
    EXPECT_EQ(n.Error(), kProxyRequestFailed);
}

TEST(ProxyNegotiation, Socks5GreetingDependsOnCredentialsOnly) {
    EXPECT_EQ(ProxyNegotiation(ProxyKind::Socks5, ByName("h", 21), {}, {}).FirstRequest(), Bytes({5, 1, 0}));
    EXPECT_EQ(ProxyNegotiation(ProxyKind::Socks5, ByName("h", 21), "u", {}).FirstRequest(),
              Bytes({5, 2, 2, 0}));
    EXPECT_EQ(ProxyNegotiation(ProxyKind::Socks5, ByName("h", 21), {}, "p").FirstRequest(),
              Bytes({5, 2, 2, 0}));
}

TEST(ProxyNegotiation, Socks5WithCredentialsByAddress) {
    ProxyNegotiation n(ProxyKind::Socks5, ByAddress("127.0.0.1", 2121), "puser", "ppass");
    const QByteArray auth = FeedAll(n, Bytes({5, 2}));
    QByteArray expectedAuth = Bytes({1, 5});
    expectedAuth += "puser";
    expectedAuth += char(5);
    expectedAuth += "ppass";
    EXPECT_EQ(auth, expectedAuth);
    EXPECT_EQ(n.Step(), 2);
    const QByteArray connect = FeedAll(n, Bytes({1, 0}));
    EXPECT_EQ(connect, Bytes({5, 1, 0, 1, 127, 0, 0, 1, 0x08, 0x49}));
    qsizetype taken = 0;
    // Bytes after the reply (the server's welcome) are not taken.
    FeedAll(n, Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x12, 0x34}) + "220 hello\r\n", 4, &taken);
    EXPECT_EQ(n.state(), State::Established);
    EXPECT_EQ(taken, 10);
}

TEST(ProxyNegotiation, Socks5ConnectByNameAndAReplyWithALongNameInPieces) {
    ProxyNegotiation n(ProxyKind::Socks5, ByName("ftp.example.org", 21), {}, {});
    QByteArray expected = Bytes({5, 1, 0, 3, 15});
    expected += "ftp.example.org";
    expected += Bytes({0, 21});
    EXPECT_EQ(FeedAll(n, Bytes({5, 0})), expected);
    QByteArray reply = Bytes({5, 0, 0, 3, 200}) + QByteArray(200, 'n') + Bytes({0, 21});
    ASSERT_EQ(reply.size(), 207);
    qsizetype taken = 0;
    FeedAll(n, reply.left(100), 1000, &taken);
    EXPECT_EQ(n.state(), State::Negotiating);
    FeedAll(n, reply.mid(100, 100));
    EXPECT_EQ(n.state(), State::Negotiating);
    FeedAll(n, reply.mid(200) + "220", 1000, &taken);
    EXPECT_EQ(n.state(), State::Established);
    EXPECT_EQ(taken, 7);
}

TEST(ProxyNegotiation, Socks5IPv6ReplyIsReadWhole) {
    ProxyNegotiation n(ProxyKind::Socks5, ByName("h", 21), {}, {});
    FeedAll(n, Bytes({5, 0}));
    qsizetype taken = 0;
    FeedAll(n, Bytes({5, 0, 0, 4}) + QByteArray(16, '\1') + Bytes({0, 21}) + "220", 1000, &taken);
    EXPECT_EQ(n.state(), State::Established);
    EXPECT_EQ(taken, 22);
}

struct Socks5Failure {
    const char* name;
    QByteArray user;
    QByteArray methodReply;
    QByteArray authReply;
    QByteArray connectReply;
    int error;
};

class ProxyNegotiationSocks5Failure : public ::testing::TestWithParam<Socks5Failure> {};

TEST_P(ProxyNegotiationSocks5Failure, GivesItsCode) {
    const Socks5Failure& c = GetParam();
    ProxyNegotiation n(ProxyKind::Socks5, ByName("h", 21), c.user, c.user.isEmpty() ? QByteArray() : "pw");
    FeedAll(n, c.methodReply);
    FeedAll(n, c.authReply);
    FeedAll(n, c.connectReply);
    EXPECT_EQ(n.state(), State::Failed);
    EXPECT_EQ(n.Error(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ProxyNegotiationSocks5Failure,
    ::testing::Values(
        Socks5Failure{"NoAcceptableMethod", {}, Bytes({5, 255}), {}, {}, kProxyNoMethod},
        Socks5Failure{"WrongVersion", {}, Bytes({4, 0}), {}, {}, kProxyNoMethod},
        Socks5Failure{"GssapiChosen", {}, Bytes({5, 1}), {}, {}, kProxyUnsupportedMethod},
        Socks5Failure{"CredentialsWantedButNone", {}, Bytes({5, 2}), {}, {}, kProxyAuthRequired},
        Socks5Failure{"CredentialsRefused", "u", Bytes({5, 2}), Bytes({1, 1}), {}, kProxyAuthFailed},
        Socks5Failure{"ConnectRefused", {}, Bytes({5, 0}), {}, Bytes({5, 5, 0, 1, 0}), kProxyRequestFailed}),
    [](const ::testing::TestParamInfo<Socks5Failure>& info) { return std::string(info.param.name); });

TEST(ProxyNegotiation, ReceiveErrorDuringAuthenticationIsAnAuthenticationFailure) {
    ProxyNegotiation n(ProxyKind::Socks5, ByName("h", 21), "u", "p");
    FeedAll(n, Bytes({5, 2}));
    n.FailReceive();
    EXPECT_EQ(n.Error(), kProxyAuthFailed);
}

TEST(ProxyNegotiation, HttpRequestWithAndWithoutCredentials) {
    EXPECT_EQ(ProxyNegotiation(ProxyKind::Http, ByAddress("127.0.0.1", 2121), {}, {}).FirstRequest(),
              "CONNECT 127.0.0.1:2121 HTTP/1.1\r\nHost: 127.0.0.1:2121\r\n\r\n");
    EXPECT_EQ(
        ProxyNegotiation(ProxyKind::Http, ByName("ftp.example.org", 21), "puser", "ppass").FirstRequest(),
        "CONNECT ftp.example.org:21 HTTP/1.1\r\nHost: ftp.example.org:21\r\n"
        "Authorization: Basic cHVzZXI6cHBhc3M=\r\nProxy-Authorization: Basic cHVzZXI6cHBhc3M=\r\n\r\n");
    // "ab:def" is six bytes: no padding.
    EXPECT_TRUE(ProxyNegotiation(ProxyKind::Http, ByName("h", 21), "ab", "def")
                    .FirstRequest()
                    .contains("Proxy-Authorization: Basic YWI6ZGVm\r\n"));
}

TEST(ProxyNegotiation, HttpEstablishedOnlyAtTheEmptyLineAndLeavesWhatFollows) {
    ProxyNegotiation n(ProxyKind::Http, ByName("h", 21), {}, {});
    const QByteArray reply =
        "HTTP/1.0 200 Connection established\r\nProxy-agent: tinyproxy\r\n\r\n220 welcome\r\n";
    qsizetype taken = 0;
    FeedAll(n, reply.left(30), 1, &taken);
    EXPECT_EQ(n.state(), State::Negotiating);
    FeedAll(n, reply.mid(30), 1, &taken);
    EXPECT_EQ(n.state(), State::Established);
    EXPECT_EQ(reply.mid(30 + taken), "220 welcome\r\n");
}

TEST(ProxyNegotiation, HttpRefusalsFailWithCode2) {
    for (const QByteArray& reply :
         {QByteArray("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n"),
          QByteArray("HTTP/1.1 403 Forbidden\r\n"), QByteArray("220 an FTP server\r\n"),
          QByteArray("HTTP/1.1200OK\r\n\r\n"), QByteArray("http/1.1 200 OK\r\n")}) {
        ProxyNegotiation n(ProxyKind::Http, ByName("h", 21), {}, {});
        FeedAll(n, reply, 1);
        EXPECT_EQ(n.state(), State::Failed) << reply.toStdString();
        EXPECT_EQ(n.Error(), kProxyRequestFailed);
    }
}

TEST(ProxyNegotiation, HttpHeaderWithoutEndIsBounded) {
    ProxyNegotiation n(ProxyKind::Http, ByName("h", 21), {}, {});
    FeedAll(n, "HTTP/1.1 200 OK\r\n" + QByteArray(20000, 'x'), 1);
    EXPECT_EQ(n.state(), State::Failed);
}

} // namespace
} // namespace tessaly
