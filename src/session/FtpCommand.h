#pragma once

#include <QByteArray>

namespace tessaly {

// One command line of a sequence with the reply it received.
struct FtpCommand {
    explicit FtpCommand(QByteArray commandText) : text(std::move(commandText)) {}

    bool noRefresh = false;   // a SITE command that must not cause a re-listing
    QByteArray text;          // the command line without its CR LF
    bool dataCommand = false; // LIST, STOR or RETR: its reply waits for the data connection
    bool sent = false;        // from sending until its complete reply has been taken
    int replyCode = 0;        // the code of its final reply line
    QByteArray replyText;     // every byte received while it was current
    QByteArray statusBefore;  // logged as a status line just before the command is sent
    QByteArray statusAfter;   // logged as a status line when its complete reply has arrived
};

} // namespace tessaly
