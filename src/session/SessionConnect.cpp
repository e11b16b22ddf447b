// Opening the control connection of a session: the attempt, its outcomes, retries and the connect
// time-out.
#include "session/SessionEngine.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

namespace tessaly {

namespace {

constexpr unsigned kControlEvents = 63;

// Settings integers that must fit a port.
quint16 PortOf(int value) {
    return static_cast<quint16>(value >= 0 && value <= 65535 ? value : 0);
}

} // namespace

const SessionEngine::RetryTexts SessionEngine::kLookupRetry = {
    "Cannot resolve target host name, process next attemption...",
    "Waitting %d seconds to try again...",
    "Cannot resolve hostname, disconnect.",
};

const SessionEngine::RetryTexts SessionEngine::kConnectRetry = {
    "Cannot connect target, processing next attemption...",
    "Waiting %d seconds for try again...",
    "Connect target failed, disconnect.",
};

void SessionEngine::StartSession(const StartRequest& request) {
    CloseSession();
    const int proxyType = Setting(setting::kProxyType);
    if (Setting(setting::kUseProxy) != 0 && (proxyType < 1 || proxyType > 8)) {
        // Logging on with no convention, or a guessed one, would hand the password to the wrong host.
        WriteLog(LogKind::Error, "The FTP proxy is on but no logon type is chosen for it; choose one in "
                                 "the options, or turn the FTP proxy off.");
        return;
    }
    view_.SetPaneBusy(true);
    session_ = std::make_unique<FtpSession>();
    ++sessionSerial_;
    session_->host = request.host;
    session_->userName = request.userName;
    session_->password = request.password;
    session_->port = request.port;
    session_->currentDirectory = request.directory;
    session_->anonymous = FtpSession::IsAnonymousName(request.userName);
    session_->loginAttemptsLeft = static_cast<unsigned>(qMax(0, Setting(setting::kLoginNumber)));
    session_->attemptsLeft = static_cast<unsigned>(qMax(0, Setting(setting::kRetryNumber)));
    if (session_->attemptsLeft == 0) {
        // No attempt is allowed: nothing starts, and no session is left waiting for a connection.
        session_.reset();
        ++sessionSerial_;
        view_.SetPaneBusy(false);
        return;
    }
    --session_->attemptsLeft;
    ConnectSession();
}

void SessionEngine::ApplySocksSettings(ProxyTunnel& tunnel) const {
    // "SocksType" 0 to 3: SOCKS4, SOCKS4A, SOCKS5, HTTP 1.1; anything else connects directly.
    const int socksType = Setting(setting::kUseSocks) != 0 ? Setting(setting::kSocksType) : -1;
    const ProxyKind kind =
        socksType >= 0 && socksType <= 3 ? static_cast<ProxyKind>(socksType + 1) : ProxyKind::None;
    tunnel.SetProxy(kind, settings_.Text(setting::kSocksHost).toUtf8(), PortOf(Setting(setting::kSocksPort)),
                    settings_.Text(setting::kSocksUser).toUtf8(),
                    settings_.Text(setting::kSocksPass).toUtf8());
}

std::unique_ptr<ControlConnection> SessionEngine::MakeControlConnection() {
    auto connection = std::make_unique<ControlConnection>(*this);
    if (!connection->Open(0, kControlEvents)) {
        return connection;
    }
    ApplySocksSettings(*connection);
    FtpProxyLogon& logon = connection->logon;
    // "ProxyType" is the convention's number, 1 to 8, as the options store it (StartSession refuses
    // any other while "UseProxy" is on).
    const int proxyType = Setting(setting::kUseProxy) != 0 ? Setting(setting::kProxyType) : 0;
    logon.proxyType =
        proxyType >= 1 && proxyType <= 8 ? static_cast<FtpProxyType>(proxyType) : FtpProxyType::None;
    logon.proxyHost = settings_.Text(setting::kProxyName).toUtf8();
    logon.proxyPort = PortOf(Setting(setting::kProxyPort));
    logon.authentication = Setting(setting::kAuthentication) != 0;
    logon.proxyUser = settings_.Text(setting::kProxyUserName).toUtf8();
    logon.proxyPassword = settings_.Text(setting::kProxyPassWord).toUtf8();
    return connection;
}

void SessionEngine::ConnectSession() {
    // A new connection starts from its own welcome: nothing received on or queued for an earlier
    // one carries over.
    session_->reply.Clear();
    session_->replyLines.clear();
    currentCommand_.reset();
    currentSequence_.reset();
    WriteLog(LogKind::Status, Format("Connecting to FTP server[%s(%s)]...", session_->host.constData(),
                                     ConnectTimeStamp(clock_().toLocalTime()).constData()));
    if (control_) {
        // A retry: the socket of the failed attempt cannot be connected again, so a new one takes
        // over the proxy settings of the old one.
        std::unique_ptr<ControlConnection> fresh = std::make_unique<ControlConnection>(*this);
        if (fresh->Open(0, kControlEvents)) {
            fresh->SetProxy(control_->ProxyType(), control_->ProxyHost(), control_->ProxyPort(),
                            control_->ProxyUser(), control_->ProxyPassword());
            fresh->logon = control_->logon;
            fresh->logon.logonStep = -1;
        }
        RetireControlConnection();
        control_ = std::move(fresh);
    } else {
        control_ = MakeControlConnection();
    }
    ++controlSerial_;
    if (!control_->IsOpen()) {
        // A socket that cannot be opened is a failed attempt.
        RetryOrGiveUp(kConnectRetry);
        return;
    }
    control_->viaProxy = false;
    control_->ConnectToHost(StripFtpScheme(session_->host), session_->port);
    if (Setting(setting::kUseTimeout) != 0) {
        connectTimer_.start(TimeoutPeriod(Setting(setting::kConnectionTimeout), secondMs_,
                                          setting::kConnectionTimeout.defaultNumber));
    }
}

void SessionEngine::OnControlResolved(int error) {
    // The connect time-out keeps running: it covers the lookup and the connect after it.
    if (!session_ || !control_) {
        return;
    }
    if (error == 0) {
        if (control_->viaProxy) {
            WriteLog(LogKind::Status, Format("Resolve proxy server [%s] successful, Connecting now...",
                                             control_->ProxyHost().constData()));
        } else {
            WriteLog(LogKind::Status, Format("Resolve target host[%s] successful, Connecting now...",
                                             session_->host.constData()));
        }
        control_->ConnectToAddress(control_->RemoteAddress());
        return;
    }
    if (control_->viaProxy && control_->LastProxyError() == 0) {
        return; // the proxy resolves the name; the tunnel goes on by itself
    }
    connectTimer_.stop();
    RetryOrGiveUp(kLookupRetry);
}

void SessionEngine::OnControlConnected(int error) {
    connectTimer_.stop();
    if (!session_ || !control_) {
        return;
    }
    if (error != 0) {
        RetryOrGiveUp(kConnectRetry);
        return;
    }
    if (control_->ProxyType() != ProxyKind::None) {
        switch (control_->LastProxyError()) {
        case 0:
            session_->connected = true;
            WriteLog(LogKind::Status, "Connecting now...");
            StartReplyTimer(); // a server that says nothing does not keep the session waiting
            break;
        case 2:
            WriteLog(LogKind::Status, "Proxy requisition failed!");
            RetryOrGiveUp(kConnectRetry);
            break;
        default:
            break; // still negotiating
        }
        return;
    }
    // The first connection of a session gives later failures the full number of attempts again.
    // Only the first: a server that accepts and at once closes every connection would otherwise be
    // reconnected to forever.
    if (!session_->attemptsRestored) {
        session_->attemptsRestored = true;
        session_->attemptsLeft = static_cast<unsigned>(qMax(0, Setting(setting::kRetryNumber)));
    }
    session_->connected = true;
    WriteLog(LogKind::Status, "Connect successful, receive welcome message...");
    StartReplyTimer(); // the welcome is waited for as long as any reply
}

void SessionEngine::OnControlClosed(int /*error*/) {
    RetireControlConnection();
    if (!session_) {
        return;
    }
    if (session_->connected && session_->loggedIn) {
        WriteLog(LogKind::Error, "Disconnect by remote ftp server.");
        CloseSession();
        return;
    }
    RetryOrGiveUp(kConnectRetry);
}

void SessionEngine::OnControlProxyConnected(int error) {
    if (control_ && control_->ProxyType() != ProxyKind::None) {
        WriteLog(LogKind::Error, error != 0 ? "Connect to proxy failed!" : "Connect to proxy successful!");
    }
}

void SessionEngine::OnControlProxyFailed(int /*mode*/) {
    WriteLog(LogKind::Error, "Invalid socks proxy!");
}

void SessionEngine::HandleProxyFailure() {
    static constexpr const char* kMessages[] = {
        "",
        "Connect proxy failed!",
        "Send requistion to proxy failed!",
        "Proxy request authentication!",
        "Unsupported proxy type!",
        "Authenticate failed, Invalid username/password!",
        "Proxy request authentication!",
        "Proxy cannot resolve host name!",
    };
    const int code = control_->LastProxyError();
    WriteLog(LogKind::Error, code >= 1 && code <= 7 ? kMessages[code] : "");
    if (session_->connected && session_->loggedIn) {
        WriteLog(LogKind::Error,
                 Format("Receive Server reply error, please check proxy setting(%s).", Stamp().constData()));
        CloseSession();
        return;
    }
    RetryOrGiveUp(kConnectRetry);
}

void SessionEngine::RetryOrGiveUp(const RetryTexts& texts) {
    if (session_->attemptsLeft > 0) {
        WriteLog(LogKind::Error, texts.retry);
        WriteBlankLine();
        WaitThenRetry(texts.wait);
        return;
    }
    view_.SetPaneBusy(false);
    WriteLog(LogKind::Error, texts.giveUp);
    WriteBlankLine();
    CloseSession();
}

void SessionEngine::WaitThenRetry(const char* waitText) {
    // The failed attempt's socket is stopped now, so nothing of it arrives during the wait.
    if (control_) {
        control_->CloseSocket();
    }
    const int wait = Setting(setting::kWaitTimes);
    if (wait != 0) {
        WriteLog(LogKind::Status, Format(waitText, wait));
        WriteBlankLine();
    }
    // The wait runs on the event loop: the window stays responsive, and closing the session
    // meanwhile cancels the attempt.
    retryWaitTimer_.start(TimerPeriod(wait, secondMs_));
}

void SessionEngine::OnConnectTimeout() {
    connectTimer_.stop();
    if (!session_) {
        return;
    }
    if (session_->attemptsLeft > 0) {
        WriteLog(LogKind::Error, "Connect timeout.");
        WriteBlankLine();
        WaitThenRetry("Waitting %d seconds to try again...");
        return;
    }
    view_.SetPaneBusy(false);
    WriteLog(LogKind::Error, "Cannot connect to host, disconnect.");
    WriteBlankLine();
    // Only the connection and the session end here; the pane and the task list are left as they are.
    RetireControlConnection();
    retryWaitTimer_.stop();
    session_.reset();
    ++sessionSerial_;
    view_.SessionClosed();
}

} // namespace tessaly
