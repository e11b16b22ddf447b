// The logon: the welcome, USER, PASS, ACCT and the FTP-proxy conventions, driven by the logon
// tables; new credentials after a refusal; and what follows a successful login.
#include "session/LogonTables.h"
#include "session/SessionEngine.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

namespace tessaly {

bool SessionEngine::RunLogon(const ReplyScan& scan) {
    FtpSession& session = *session_;
    const int code = session.lastReplyCode;
    const QByteArray replyBytes = session.reply.Buffer().left(scan.consumed);
    if (!currentCommand_) {
        session.welcomeText = replyBytes;
        if (code == 421 || code > 400) {
            WriteLog(LogKind::Error, Format("FTP server refuse to logon(%s).", Stamp().constData()));
            CloseSession();
            return false;
        }
        if (code < 200) {
            // A preliminary welcome ("120 ready in a few minutes"): the real one follows.
            session.reply.Consume(scan.consumed);
            return false;
        }
    } else {
        session.welcomeText += replyBytes;
        currentCommand_.reset();
        if (code == 421) {
            WriteLog(LogKind::Error, Format("FTP server refuse to logon(%s).", Stamp().constData()));
            CloseSession();
            return false;
        }
        if (code >= 500 && !AskForNewLogin()) {
            return false;
        }
    }

    // Taken only now: the login question above runs the event loop, and the connection it was
    // asked for is then checked to be still the same one.
    FtpProxyLogon& logon = control_->logon;
    int next = 0;
    if (logon.logonStep == -1) {
        if (logon.proxyType != FtpProxyType::None) {
            WriteLog(LogKind::Status, Format("processing attemption to connecting proxy at: %s:%d...",
                                             logon.proxyHost.constData(), logon.proxyPort));
        }
    } else {
        next = NextLogonStep(logon.proxyType, logon.logonStep, code);
    }
    logon.logonStep = next;
    if (next == kLoggedIn) {
        OnLoggedIn();
        return true;
    }
    if (next == kLogonFailed) {
        WriteLog(LogKind::Error,
                 Format("Login ftp proxy failed, please check ftp proxy setting(%s).", Stamp().constData()));
        CloseSession();
        return false;
    }
    const LogonCredentials credentials{session.userName,
                                       session.password,
                                       logon.proxyUser,
                                       logon.proxyPassword,
                                       StripFtpScheme(session.host),
                                       session.port};
    if (!currentSequence_) {
        currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
    }
    const int commandCode = LogonCommandAt(logon.proxyType, next);
    currentSequence_->Append(LogonCommandText(commandCode, credentials)).sendsStoredPassword =
        LogonCommandSendsProxyPassword(commandCode);
    return true;
}

// After a 5xx during the logon: new credentials from the user, at most "LoginNumber" times. False
// when the session has ended.
bool SessionEngine::AskForNewLogin() {
    FtpSession& session = *session_;
    if (session.loginAttemptsLeft == 0) {
        WriteLog(LogKind::Error, "Password error, logon failed, disconnect.");
        CloseSession();
        return false;
    }
    --session.loginAttemptsLeft;
    LoginRequest request;
    request.host = session.host;
    request.userName = session.userName;
    request.noSavedSite = true; // the view clears it for a connection to a saved site
    const quint64 serial = sessionSerial_;
    const quint64 connection = controlSerial_;
    const bool accepted = Ask([&] { return view_.AskLogin(request); });
    if (!session_ || serial != sessionSerial_) {
        return false; // the session ended while the question was open
    }
    if (!control_ || connection != controlSerial_ || !control_->IsOpen()) {
        // The server closed the connection meanwhile: the answer was for that connection. A new
        // connection logs on from its own welcome.
        WriteLog(LogKind::Status,
                 "The connection closed while the login dialog was open, the answer is dropped.");
        return false;
    }
    if (!accepted) {
        WriteLog(LogKind::Status, "Disconnect by client.");
        CloseSession();
        return false;
    }
    session_->savePassword = request.noSavedSite ? false : request.savePassword;
    session_->userName = request.userName;
    session_->password = request.password;
    session_->anonymous = FtpSession::IsAnonymousName(request.userName);
    currentSequence_.reset();
    control_->logon.logonStep = -1;
    return true;
}

void SessionEngine::OnLoggedIn() {
    FtpSession& session = *session_;
    control_->logon.logonStep = -1;
    session.loggedIn = true;
    view_.SetWindowTitle(view_.WindowTitle() + QStringLiteral(" - ") + QString::fromUtf8(session.host));
    if (!lastSession_) {
        lastSession_ = std::make_unique<FtpSession>();
    }
    lastSession_->CopyParametersFrom(session);
    // The listing of the login directory (or of the directory asked for) follows.
    currentSequence_ = MakeListingSequence(false);
    auto welcome = std::make_unique<ServerMessage>(session.welcomeText);
    session.firstMessage = welcome.get();
    session.latestMessage = welcome.get();
    session.messages.push_back(std::move(welcome));
    session.welcomeText.clear();
    view_.SessionLoggedIn();
}

} // namespace tessaly
