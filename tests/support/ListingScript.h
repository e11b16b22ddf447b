#pragma once

#include "support/ScriptedPeer.h"

#include <QByteArray>

namespace tessaly::test {

// Scripts the resume probe of the first listing: SYST, TYPE I, and REST 100 and REST 0, both
// answered with restReply.
void ScriptProbe(ScriptedPeer& control, const QByteArray& restReply = "350 ok\r\n");

// Scripts the listing that follows a login (SYST, the REST probe, PWD, TYPE A, PASV, LIST) on the
// control connection, with `data` as the passive data port that sends `listing` and closes.
void ScriptFirstListing(ScriptedPeer& control, ScriptedPeer& data, const QByteArray& listing = {},
                        const QByteArray& directory = "/");

// The same listing where the server refuses PASV and PORT (twice each way round) and answers LIST
// with 425: the listing ends without a data connection. Through a SOCKS or HTTP tunnel the client
// tries no PORT: PASV is refused once.
void ScriptRefusedListing(ScriptedPeer& control, bool throughTunnel = false);

} // namespace tessaly::test
