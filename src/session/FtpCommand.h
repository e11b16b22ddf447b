#pragma once

#include <QByteArray>

namespace tessaly {

// One command line of a sequence with the reply it received.
struct FtpCommand {
    explicit FtpCommand(QByteArray commandText) : text(std::move(commandText)) {}

    bool noRefresh = false;           // a SITE command that must not cause a re-listing
    bool followsRename = false;       // dropped with the rename before it when that is refused
    QByteArray text;                  // the command line without its CR LF
    bool dataCommand = false;         // LIST, STOR or RETR: its reply waits for the data connection
    bool raw = false;                 // typed by the user: its data is not ours to show or keep
    bool sendsStoredPassword = false; // carries a password from the settings: masked in the log
    bool sent = false;                // from sending until its complete reply has been taken
    int replyCode = 0;                // the code of its final reply line
    QByteArray replyText;             // every byte received while it was current
    QByteArray statusBefore;          // logged as a status line just before the command is sent
    QByteArray statusAfter;           // logged as a status line when its complete reply has arrived
};

// True for the commands whose reply waits for a data connection (LIST, NLST, MLSD, RETR, STOR, STOU,
// APPE), judged by the verb in any letter case, so a command the user types is recognised too.
bool OpensDataTransfer(const QByteArray& commandText);

} // namespace tessaly
