#pragma once

#include "listing/FolderCache.h"
#include "session/ReplyReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <memory>
#include <optional>
#include <vector>

namespace tessaly {

// A whole multi-line reply kept to be shown in the server-information dialog.
struct ServerMessage {
    explicit ServerMessage(QByteArray messageText) : text(std::move(messageText)) {}
    QByteArray text;
    bool unshown = true;
};

// One entry of the failed-commands report: a command line, or the reply it received.
struct FailureRecord {
    enum class Kind { Command, Reply };
    Kind kind;
    QByteArray text;
};

// What the engine reads when a job continues.
enum class JobKind { RecursiveDelete = 1, Download = 2, Upload = 3 };

// The state of one session, from a connect command until the session is closed. Kept across the
// retries of its connection.
struct FtpSession {
    // The password of a new session and of anonymous logins when nothing else is configured.
    static constexpr const char* kPlaceholderEmail = "tessaly@example.com";

    QByteArray host; // as typed; a leading "ftp://" is removed only to connect
    QByteArray userName = "anonymous";
    QByteArray password = kPlaceholderEmail;
    ReplyReader reply; // bytes of the reply being received
    int lastReplyCode = 0;
    bool awaitingReply = true;    // from sending a command until its complete reply
    QList<QByteArray> replyLines; // the lines of the reply being processed
    bool anonymous = true;        // the user name is "anonymous" in any letter case
    QByteArray anonymousPassword = kPlaceholderEmail;
    quint16 port = 21;
    bool loggedIn = false;
    unsigned attemptsLeft = 3;      // connection attempts still allowed
    bool attemptsRestored = false;  // a connection succeeded and gave the attempts back, once
    unsigned loginAttemptsLeft = 3; // re-logins still allowed after a 5xx during logon
    QByteArray currentDirectory;    // before login: the directory to change to after it
    bool restSupported = false;
    bool resumeProbePending = true;
    bool firstListingPending = true;
    int rememberedConflictChoice = -1;
    QByteArray welcomeText;                 // the welcome and logon replies; empty after login
    ServerMessage* firstMessage = nullptr;  // the welcome, owned by messages
    ServerMessage* latestMessage = nullptr; // the most recently stored one, owned by messages
    std::vector<std::unique_ptr<ServerMessage>> messages;
    bool listingMode = true; // the data connection carries a listing, not a file
    quint64 speedByteCount = 0;
    QByteArray listingBuffer;           // the listing received so far, byte for byte
    std::optional<QDateTime> dataStart; // the first readable or writable event of a data connection
    std::optional<QDateTime> dataEnd;   // when the receive-speed line was made
    FolderCache folderCache;            // listings of the directories visited
    const FolderCacheEntry* cachedListing = nullptr; // shown once the CWD that leads to it succeeds
    QByteArray viewFile;
    int viewAction = -1;
    bool savePassword = false;
    bool connected = false;      // the control connection is established
    bool forceSend = false;      // lets the abort go out while a reply is awaited
    bool refreshPending = false; // the listing must be fetched again after this reply
    QByteArray serverType;       // the TYPE command the server last took ("TYPE I"); empty: not known
    int owedReplies = 0;         // final replies still to come for commands given up by an abort
    bool toldPassiveThroughTunnel = false; // the log said once that a tunnel forces passive mode
    std::vector<FailureRecord> failedCommands;
    bool jobRunning = false;
    JobKind jobKind = JobKind::Download;
    QByteArray pendingDownloadPath;
    QByteArray pendingPassword; // sent with SITE PSWD: the session's password once the server takes it
    qint64 sizeResult = 0;

    static bool IsAnonymousName(const QByteArray& userName);

    // Makes this session a copy of another one's connection parameters with fresh transient state.
    void CopyParametersFrom(const FtpSession& from);
};

} // namespace tessaly
