#include "session/FtpSession.h"

#include "session/TextFormat.h"

namespace tessaly {

bool FtpSession::IsAnonymousName(const QByteArray& name) {
    return EqualsNoCase(name, "anonymous");
}

void FtpSession::CopyParametersFrom(const FtpSession& from) {
    host = from.host;
    userName = from.userName;
    password = from.password;
    reply = from.reply;
    lastReplyCode = from.lastReplyCode;
    awaitingReply = from.awaitingReply;
    anonymous = from.anonymous;
    anonymousPassword = from.anonymousPassword;
    port = from.port;
    loggedIn = from.loggedIn;
    attemptsLeft = from.attemptsLeft;
    loginAttemptsLeft = from.loginAttemptsLeft;
    resumeProbePending = from.resumeProbePending;
    rememberedConflictChoice = from.rememberedConflictChoice;
    welcomeText = from.welcomeText;
    listingMode = from.listingMode;
    currentDirectory = from.currentDirectory;
    restSupported = from.restSupported;

    replyLines.clear();
    latestMessage = nullptr;
    speedByteCount = 0;
    listingBuffer.clear();
    viewFile.clear();
    viewAction = -1;
    connected = false;
    refreshPending = false;
    jobRunning = false;
    jobKind = JobKind::Download;
    pendingDownloadPath.clear();
}

} // namespace tessaly
