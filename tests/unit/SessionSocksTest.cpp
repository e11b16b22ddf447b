// The control connection through SOCKS and HTTP proxies played by a scripted peer: the proxy
// conversation byte for byte, then the FTP server behind it on the same connection, and the log
// lines of each outcome.
#include "support/EngineHarness.h"
#include "support/ListingScript.h"
#include "support/PortUtils.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using Lines = QList<QByteArray>;

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

QByteArray Port(quint16 port) {
    return Bytes({port >> 8, port & 0xff});
}

class SessionSocks : public ::testing::Test {
protected:
    void useProxy(int socksType, const char* host = "127.0.0.1", const char* user = "",
                  const char* pass = "") {
        h.setInt(u"Socks", u"UseSocks", 1);
        h.setInt(u"Socks", u"SocksType", socksType);
        h.setString(u"Socks", u"SocksHost", QString::fromUtf8(host));
        h.setInt(u"Socks", u"SocksPort", proxy.port());
        h.setString(u"Socks", u"SocksUser", QString::fromUtf8(user));
        h.setString(u"Socks", u"SocksPass", QString::fromUtf8(pass));
    }
    void start(const QByteArray& host, quint16 port = 2121) {
        SessionEngine::StartRequest request;
        request.host = host;
        request.port = port;
        h.engine().StartSession(request);
    }
    // The FTP server behind the tunnel logs the anonymous user in.
    void serveLogin() {
        proxy.send("220 behind the proxy\r\n").expectLine("USER anonymous").send("230 ok\r\n");
        ScriptRefusedListing(proxy, true);
    }

    EngineHarness h;
    ScriptedPeer proxy;
};

TEST_F(SessionSocks, Socks5WithoutCredentialsByAddress) {
    useProxy(2);
    proxy.accept().expectBytes(Bytes({5, 1, 0})).send(Bytes({5, 0}));
    proxy.expectBytes(Bytes({5, 1, 0, 1, 127, 0, 0, 1}) + Port(2121));
    proxy.send(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x04, 0x01}));
    serveLogin();
    start("127.0.0.1");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
    const Lines expected = {
        "STATUS:>  Connecting to FTP server[127.0.0.1(2026-12-08 09:10:11)]...",
        "ERROR:>  Connect to proxy successful!",
        "STATUS:>  Connecting now...",
        "              220 behind the proxy",
        "COMMAND:>  USER anonymous",
        "              230 ok",
    };
    EXPECT_EQ(h.view.lines().mid(0, expected.size()), expected);
}

TEST_F(SessionSocks, Socks5ReplyWithALongNameInThreePieces) {
    useProxy(2, "localhost", "puser", "ppass");
    proxy.accept().expectBytes(Bytes({5, 2, 2, 0})).send(Bytes({5, 2}));
    proxy.expectBytes(Bytes({1, 5}) + "puser" + Bytes({5}) + "ppass").send(Bytes({1, 0}));
    proxy.expectBytes(Bytes({5, 1, 0, 1, 127, 0, 0, 1}) + Port(2121));
    const QByteArray reply = Bytes({5, 0, 0, 3, 200}) + QByteArray(200, 'b') + Bytes({0x04, 0x01});
    proxy.sendInPieces(reply, {3, 150});
    serveLogin();
    start("127.0.0.1");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
    EXPECT_EQ(h.view.lines().at(1),
              "STATUS:>  Resolve proxy server [localhost] successful, Connecting now...");
    EXPECT_TRUE(h.view.lines().contains("              220 behind the proxy"));
}

TEST_F(SessionSocks, Socks5HandsAnUnresolvableNameToTheProxy) {
    useProxy(2);
    proxy.accept().expectBytes(Bytes({5, 1, 0})).send(Bytes({5, 0}));
    proxy.expectBytes(Bytes({5, 1, 0, 3, 20}) + "ftp.example.invalid." + Port(21));
    proxy.send(Bytes({5, 0, 0, 1, 10, 0, 0, 1, 0, 21}));
    serveLogin();
    start("ftp.example.invalid.", 21);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
    // The failed lookup is not retried: the proxy resolves the name.
    EXPECT_FALSE(h.view.texts().contains("Cannot resolve target host name, process next attemption..."));
}

TEST_F(SessionSocks, Socks5WrongPasswordRetriesThenGivesUp) {
    useProxy(2, "127.0.0.1", "puser", "wrong");
    h.setInt(u"General", u"RetryNumber", 2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        proxy.accept().expectBytes(Bytes({5, 2, 2, 0})).send(Bytes({5, 2}));
        proxy.expectBytes(Bytes({1, 5}) + "puser" + Bytes({5}) + "wrong").send(Bytes({1, 1}));
    }
    start("127.0.0.1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined() << proxy.failureText();
    const QByteArray connecting = "STATUS:>  Connecting to FTP server[127.0.0.1(2026-12-08 09:10:11)]...";
    const Lines attempt = {connecting, "ERROR:>  Connect to proxy successful!", "STATUS:>  Connecting now...",
                           "ERROR:>  Invalid socks proxy!",
                           "ERROR:>  Authenticate failed, Invalid username/password!"};
    const Lines expected = attempt +
                           Lines{"ERROR:>  Cannot connect target, processing next attemption...", ""} +
                           attempt + Lines{"ERROR:>  Connect target failed, disconnect.", ""};
    EXPECT_EQ(h.view.lines(), expected);
}

TEST_F(SessionSocks, Socks4RequestAndReject) {
    useProxy(0);
    h.setInt(u"General", u"RetryNumber", 1);
    proxy.accept().expectBytes(Bytes({4, 1}) + Port(2121) + Bytes({127, 0, 0, 1, 0}));
    proxy.send(Bytes({0, 91, 0, 0, 0, 0, 0, 0}));
    start("127.0.0.1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined() << proxy.failureText();
    const Lines texts = h.view.texts();
    EXPECT_TRUE(texts.contains("Send requistion to proxy failed!"));
    EXPECT_EQ(texts.at(texts.size() - 2), "Connect target failed, disconnect.");
}

TEST_F(SessionSocks, Socks4CannotCarryAName) {
    useProxy(0);
    h.setInt(u"General", u"RetryNumber", 1);
    start("no-such-host.invalid");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined();
    EXPECT_EQ(h.view.texts().at(1), "Cannot resolve hostname, disconnect.");
    EXPECT_EQ(proxy.connectionCount(), 0);
}

TEST_F(SessionSocks, Socks4aSendsTheNameItCannotResolve) {
    useProxy(1);
    proxy.accept().expectBytes(Bytes({4, 1}) + Port(2121) + Bytes({0, 0, 0, 1, 0}) + "ftp.example.invalid." +
                               '\0');
    proxy.send(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
    serveLogin();
    start("ftp.example.invalid.");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
}

TEST_F(SessionSocks, HttpConnectWithCredentialsAndTheBannerInTheSameRead) {
    useProxy(3, "127.0.0.1", "puser", "ppass");
    proxy.accept().expectBytes("CONNECT 127.0.0.1:2121 HTTP/1.1\r\nHost: 127.0.0.1:2121\r\n"
                               "Authorization: Basic cHVzZXI6cHBhc3M=\r\n"
                               "Proxy-Authorization: Basic cHVzZXI6cHBhc3M=\r\n\r\n");
    proxy.send("HTTP/1.0 200 Connection established\r\nProxy-agent: test\r\n\r\n220 behind the proxy\r\n");
    proxy.expectLine("USER anonymous").send("230 ok\r\n");
    ScriptRefusedListing(proxy, true);
    start("127.0.0.1");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
    EXPECT_TRUE(h.view.lines().contains("              220 behind the proxy"));
}

TEST_F(SessionSocks, HttpReplySplitAcrossReads) {
    useProxy(3);
    proxy.accept().expectBytes("CONNECT 127.0.0.1:2121 HTTP/1.1\r\nHost: 127.0.0.1:2121\r\n\r\n");
    proxy.sendInPieces("HTTP/1.1 200 OK\r\nX-A: b\r\n\r\n", {6, 12});
    serveLogin();
    start("127.0.0.1");
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
}

TEST_F(SessionSocks, HttpProxyThatIsNoProxy) {
    useProxy(3);
    h.setInt(u"General", u"RetryNumber", 1);
    // An FTP server where the proxy should be speaks first; its banner is no HTTP reply.
    proxy.accept().send("220 I am an FTP server\r\n").readLine();
    start("127.0.0.1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined() << proxy.failureText();
    EXPECT_TRUE(h.view.texts().contains("Send requistion to proxy failed!"));
    EXPECT_TRUE(h.view.texts().contains("Invalid socks proxy!"));
}

TEST_F(SessionSocks, HttpProxyRefusal407) {
    useProxy(3);
    h.setInt(u"General", u"RetryNumber", 1);
    proxy.accept().readLine().readLine().readLine();
    proxy.send("HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic\r\n\r\n");
    start("127.0.0.1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined() << proxy.failureText();
    EXPECT_TRUE(h.view.texts().contains("Send requistion to proxy failed!"));
}

TEST_F(SessionSocks, ProxyPortWithNothingListening) {
    h.setInt(u"Socks", u"UseSocks", 1);
    h.setInt(u"Socks", u"SocksType", 2);
    h.setString(u"Socks", u"SocksHost", QStringLiteral("127.0.0.1"));
    h.setInt(u"Socks", u"SocksPort", FindFreeTcpPort());
    h.setInt(u"General", u"RetryNumber", 2);
    start("127.0.0.1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined();
    const QByteArray connecting = "STATUS:>  Connecting to FTP server[127.0.0.1(2026-12-08 09:10:11)]...";
    const Lines expected = {connecting,
                            "ERROR:>  Connect to proxy failed!",
                            "ERROR:>  Cannot connect target, processing next attemption...",
                            "",
                            connecting,
                            "ERROR:>  Connect to proxy failed!",
                            "ERROR:>  Connect target failed, disconnect.",
                            ""};
    EXPECT_EQ(h.view.lines(), expected);
}

TEST_F(SessionSocks, UnresolvableProxyName) {
    useProxy(2, "no-such-proxy.invalid");
    h.setInt(u"General", u"RetryNumber", 1);
    start("127.0.0.1");
    ASSERT_TRUE(h.waitClosed()) << h.view.joined();
    EXPECT_EQ(h.view.texts().at(1), "Cannot resolve hostname, disconnect.");
}

TEST_F(SessionSocks, UseSocksOffConnectsDirectlyWhateverSocksTypeHolds) {
    h.setInt(u"Socks", u"UseSocks", 0);
    h.setInt(u"Socks", u"SocksType", 2);
    ScriptedPeer server;
    server.accept().send("220 direct\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptRefusedListing(server);
    start("127.0.0.1", server.port());
    ASSERT_TRUE(h.waitIdle()) << h.view.joined();
    EXPECT_EQ(h.view.lines().at(1), "STATUS:>  Connect successful, receive welcome message...");
}

// Through a tunnel the server cannot connect back, so listings go passive whatever "PasvMode" says
// (the log says so once), and the data tunnel leads where the control tunnel leads, not to the
// address the PASV reply names.
TEST_F(SessionSocks, DataConnectionsGoPassiveThroughTheControlConnectionsTarget) {
    useProxy(2);
    h.setInt(u"Advance", u"PasvMode", 0);
    const QByteArray request = Bytes({5, 1, 0, 3, 20}) + "ftp.example.invalid.";
    proxy.accept().expectBytes(Bytes({5, 1, 0})).send(Bytes({5, 0}));
    proxy.expectBytes(request + Port(21)).send(Bytes({5, 0, 0, 1, 10, 0, 0, 1, 0, 21}));
    proxy.send("220 behind the proxy\r\n").expectLine("USER anonymous").send("230 ok\r\n");
    ScriptProbe(proxy);
    proxy.expectLine("PWD").send("257 \"/\"\r\n");
    proxy.expectLine("TYPE A").send("200 ok\r\n").expectLine("PASV");
    proxy.send("227 Entering Passive Mode (10,9,8,7,4,1)\r\n").expectLine("LIST");
    proxy.accept().expectBytes(Bytes({5, 1, 0})).send(Bytes({5, 0}));
    proxy.expectBytes(request + Port(1025)).send(Bytes({5, 0, 0, 1, 10, 0, 0, 1, 4, 1}));
    proxy.send("-rw-r--r-- 1 o g 5 Jan 01 2026 via-tunnel.txt\r\n").close();
    proxy.useConnection(0).send("150 here\r\n226 done\r\n");
    start("ftp.example.invalid.", 21);
    ASSERT_TRUE(h.waitIdle()) << h.view.joined() << proxy.failureText();
    EXPECT_EQ(proxy.failureText(), "");
    EXPECT_EQ(h.view.shownNames(), QList<QByteArray>{"via-tunnel.txt"});
    const Lines texts = h.view.texts();
    EXPECT_EQ(texts.count("Active mode cannot work through the proxy, passive mode is used instead."), 1);
    EXPECT_TRUE(texts.contains(
        "The server named 10.9.8.7 for the data connection, ftp.example.invalid. is used instead."))
        << h.view.joined();
}

} // namespace
} // namespace tessaly::test
