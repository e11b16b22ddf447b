#include "support/ListingScript.h"

namespace tessaly::test {

namespace {

void ScriptProbeAndPwd(ScriptedPeer& control, const QByteArray& directory) {
    control.expectLine("SYST").send("215 UNIX Type: L8\r\n");
    control.expectLine("TYPE I").send("200 Switching to Binary mode.\r\n");
    control.expectLine("REST 100").send("350 Restart position accepted (100).\r\n");
    control.expectLine("REST 0").send("350 Restart position accepted (0).\r\n");
    control.expectLine("PWD").send("257 \"" + directory + "\" is the current directory\r\n");
    control.expectLine("TYPE A").send("200 Switching to ASCII mode.\r\n");
}

} // namespace

void ScriptProbe(ScriptedPeer& control, const QByteArray& restReply) {
    control.expectLine("SYST").send("215 UNIX\r\n").expectLine("TYPE I").send("200 ok\r\n");
    control.expectLine("REST 100").send(restReply).expectLine("REST 0").send(restReply);
}

void ScriptFirstListing(ScriptedPeer& control, ScriptedPeer& data, const QByteArray& listing,
                        const QByteArray& directory) {
    ScriptProbeAndPwd(control, directory);
    control.expectLine("PASV").send(ScriptedPeer::pasvReplyFor(data.port()));
    control.expectLine("LIST").send("150 Here comes the directory listing.\r\n");
    data.accept().send(listing).close();
    control.pause(50).send("226 Directory send OK.\r\n");
}

void ScriptRefusedListing(ScriptedPeer& control, bool throughTunnel) {
    ScriptProbeAndPwd(control, "/");
    control.expectLine("PASV").send("500 no passive\r\n");
    if (!throughTunnel) {
        control.expectLinePrefix("PORT ").send("500 no active\r\n");
        control.expectLine("PASV").send("500 no passive\r\n");
    }
    control.expectLine("LIST").send("425 Use PORT or PASV first.\r\n");
}

} // namespace tessaly::test
