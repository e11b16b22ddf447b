#include "support/ProxyLogonCases.h"

#include "support/ListingScript.h"
#include "support/ScriptedPeer.h"

#include <gtest/gtest.h>

namespace tessaly::test {

const std::vector<ProxyCase>& ProxyLogonCases() {
    static const std::vector<ProxyCase> cases = {
        ProxyCase{"SiteHostnamePort2121",
                  1,
                  2121,
                  true,
                  {{"USER fw", "331 pw"},
                   {"PASS fwpw", "230 fw ok"},
                   {"SITE ftp.example.org:2121", "331 connected, send user"},
                   {"USER remote", "331 pw"},
                   {"PASS rpw", "230 in"}}},
        ProxyCase{
            "SiteHostnamePort21",
            1,
            21,
            true,
            {{"USER fw", "230 fw ok"}, {"SITE ftp.example.org", "331 connected"}, {"USER remote", "230 in"}}},
        // The convention takes only a 3xx as the answer to SITE.
        ProxyCase{"SiteHostnameFailsOn2xxToSite",
                  1,
                  21,
                  false,
                  {{"USER fw", "230 fw ok"}, {"SITE ftp.example.org", "220 connected"}}},
        ProxyCase{"UserAfterLogon",
                  2,
                  21,
                  true,
                  {{"USER fw", "331 pw"},
                   {"PASS fwpw", "230 fw ok"},
                   {"USER remote@ftp.example.org", "331 pw"},
                   {"PASS rpw", "230 in"}}},
        ProxyCase{
            "ProxyOpen",
            3,
            990,
            true,
            {{"OPEN ftp.example.org:990", "220 open"}, {"USER remote", "331 pw"}, {"PASS rpw", "230 in"}}},
        ProxyCase{"Transparent",
                  4,
                  21,
                  true,
                  {{"USER fw", "331 pw"},
                   {"PASS fwpw", "230 fw ok"},
                   {"USER remote", "331 pw"},
                   {"PASS rpw", "230 in"}}},
        ProxyCase{"TransparentToAnAnonymousTarget",
                  4,
                  21,
                  true,
                  {{"USER fw", "331 pw"},
                   {"PASS fwpw", "230 fw ok"},
                   {"USER anonymous", "331 pw"},
                   {"PASS rpw", "230 in"}},
                  "anonymous"},
        ProxyCase{"UserWithNoLogon",
                  5,
                  2121,
                  true,
                  {{"USER remote@ftp.example.org:2121", "331 pw"}, {"PASS rpw", "230 in"}}},
        ProxyCase{"UserFireIdAtRemoteHost",
                  6,
                  21,
                  true,
                  {{"USER fw@ftp.example.org", "331 pw"},
                   {"PASS fwpw", "230 fw ok"},
                   {"USER remote", "331 pw"},
                   {"PASS rpw", "230 in"}}},
        ProxyCase{"UserRemoteIdAtRemoteHostFireId",
                  7,
                  21,
                  true,
                  {{"USER remote@ftp.example.org fw", "331 pw"},
                   {"PASS rpw", "332 acct"},
                   {"ACCT fwpw", "230 in"}}},
        ProxyCase{"UserRemoteIdAtRemoteHostFireIdFailsOn2xx",
                  7,
                  21,
                  false,
                  {{"USER remote@ftp.example.org fw", "230 unexpected"}}},
        ProxyCase{"UserRemoteIdAtFireIdAtRemoteHost",
                  8,
                  21,
                  true,
                  {{"USER remote@fw@ftp.example.org", "331 pw"}, {"PASS rpw@fwpw", "230 in"}}},
    };
    return cases;
}

void WriteProxySettings(EngineHarness& h, const ProxyCase& c, quint16 proxyPort) {
    h.setInt(u"FtpProxy", u"UseProxy", 1);
    h.setInt(u"FtpProxy", u"ProxyType", c.convention);
    h.setString(u"FtpProxy", u"ProxyName", QStringLiteral("127.0.0.1"));
    h.setInt(u"FtpProxy", u"ProxyPort", proxyPort);
    h.setString(u"FtpProxy", u"UserName", QStringLiteral("fw"));
    h.setString(u"FtpProxy", u"PassWord", QStringLiteral("fwpw"));
}

void ExpectProxyLogon(const ProxyCase& c, const ProxySettingsWriter& write) {
    EngineHarness h;
    ScriptedPeer peer;
    ScriptedPeer data;
    write(h, c, peer.port());
    peer.accept().send("220 proxy ready\r\n");
    for (const auto& [command, reply] : c.exchange) {
        peer.expectLine(command).send(reply + "\r\n");
    }
    if (c.logsIn) {
        ScriptFirstListing(peer, data);
    }
    SessionEngine::StartRequest request;
    request.host = "ftp.example.org";
    request.port = c.targetPort;
    request.userName = c.targetUser;
    request.password = "rpw";
    h.engine().StartSession(request);
    const bool idle = h.waitIdle();
    EXPECT_EQ(peer.failureText(), "") << c.name;
    EXPECT_EQ(idle, c.logsIn) << c.name << "\n" << h.view.joined();
    const QByteArray announce = "STATUS:>  processing attemption to connecting proxy at: 127.0.0.1:" +
                                QByteArray::number(peer.port()) + "...";
    EXPECT_TRUE(h.view.lines().contains(announce)) << c.name << "\n" << h.view.joined();
    // The proxy's password is masked whoever logs on to the target; an anonymous target's password
    // (an e-mail address) is shown as sent.
    EXPECT_EQ(h.view.joined().find("fwpw"), std::string::npos) << h.view.joined();
    if (c.targetUser == "anonymous") {
        EXPECT_TRUE(h.view.lines().contains("COMMAND:>  PASS rpw")) << h.view.joined();
    }
    if (!c.logsIn) {
        EXPECT_TRUE(h.waitClosed()) << c.name;
        EXPECT_TRUE(h.view.lines().last().startsWith("ERROR:>  Login ftp proxy failed")) << c.name;
    }
}

} // namespace tessaly::test
