// Listings and the data channel: the listing sequence, passive and active data connections with
// their fallbacks, the listing bytes, and the rendezvous of the final reply with the data close.
#include "session/DeleteJob.h"
#include "session/DownloadJob.h"
#include "session/PassiveReply.h"
#include "session/ReplyFields.h"
#include "session/SessionEngine.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

#include <cstring>
#include <unistd.h>
#include <vector>

namespace tessaly {

namespace {

constexpr unsigned kDownloadEvents = 49; // read, connect, close
// Uploads read too: a SOCKS or HTTP tunnel reads the proxy's replies before the data can go.
constexpr unsigned kUploadEvents = 51; // read, write, connect, close
// A listing larger than this is no directory listing; reading stops there.
constexpr qsizetype kMaxListingBytes = qsizetype(1) << 30;
// One readable event reads at most this many chunks, so a server that keeps sending cannot keep the
// loop from timers, the user and the control connection.
constexpr int kMaxChunksPerEvent = 64;

bool Failed(int code) {
    return code < 100 || code > 399;
}

} // namespace

std::unique_ptr<CommandSequence> SessionEngine::MakeListingSequence(bool keepDirectory) {
    auto sequence = std::make_unique<ListingSequence>(session_->resumeProbePending, UsePassiveMode());
    if (sequence->Probe()) {
        sequence->Append("SYST");
        // REST is asked about in binary type: some servers (pyftpdlib, proftpd) refuse it in ASCII.
        sequence->Append("TYPE I");
        sequence->Append("REST 100");
        sequence->Append("REST 0");
    }
    if (!keepDirectory && !session_->currentDirectory.isEmpty()) {
        sequence->Append("CWD " + session_->currentDirectory);
    }
    sequence->Append("PWD");
    sequence->Append("TYPE A");
    QueueListCommands(*sequence, sequence->Passive());
    return sequence;
}

void SessionEngine::QueueListCommands(CommandSequence& sequence, bool passive) {
    if (passive) {
        sequence.Append("PASV");
    } else {
        OpenActiveListener(sequence, true);
    }
    sequence.Append("LIST").statusBefore = "Open the data channel...";
}

void SessionEngine::RefreshListing(bool keepDirectory) {
    if (!session_ || !control_) {
        return;
    }
    session_->refreshPending = false;
    currentSequence_ = MakeListingSequence(keepDirectory);
    SendNextOfCurrentSequence();
}

bool SessionEngine::ThroughTunnel() const {
    return control_ && control_->ProxyType() != ProxyKind::None;
}

bool SessionEngine::UsePassiveMode() {
    if (Setting(setting::kPasvMode) != 0) {
        return true;
    }
    if (ThroughTunnel() && session_ && !session_->toldPassiveThroughTunnel) {
        // The server cannot connect back through a SOCKS or HTTP tunnel: the address PORT would
        // announce is one only this machine's side of the proxy reaches.
        session_->toldPassiveThroughTunnel = true;
        WriteLog(LogKind::Status, "Active mode cannot work through the proxy, passive mode is used instead.");
    }
    return ThroughTunnel();
}

bool SessionEngine::OpenActiveListener(CommandSequence& sequence, bool atTail) {
    CloseListener();
    // The listener takes connections only on the address the server is told, the control
    // connection's own.
    sockaddr_in local{};
    if (!control_ || !control_->LocalAddress(local)) {
        return false;
    }
    auto listener = std::make_unique<ListeningSocket>();
    if (!listener->Open(local.sin_addr.s_addr)) {
        return false;
    }
    QByteArray port = FormatPortCommand(local.sin_addr.s_addr, listener->PortNetworkOrder());
    if (atTail) {
        sequence.Append(std::move(port));
    } else {
        sequence.PushFront(std::move(port));
    }
    if (!listener->Listen()) {
        return false; // the PORT command stays; the server's refusal or 425 ends the listing
    }
    listener->onAcceptReady = [this] { OnListenerAccept(); };
    listener_ = std::move(listener);
    return true;
}

void SessionEngine::OnListenerAccept() {
    AcceptDataConnection();
}

void SessionEngine::TakeQueuedDataConnection() {
    // The server connects before it sends its reply, but the loop may announce the reply first: the
    // connection then still waits in the listener's queue, and closing the listener with the
    // command would lose what it brings (a listing or file shown empty, as if it were complete).
    // Only what the server sends can wait there; an upload's data goes the other way.
    if (!listener_ || data_ || DataEvents() == kUploadEvents) {
        return;
    }
    constexpr int kMaxQueuedConnections = 16; // others than the server's are refused one by one
    for (int i = 0; i < kMaxQueuedConnections && listener_ && !data_; ++i) {
        if (!AcceptDataConnection()) {
            return;
        }
    }
}

bool SessionEngine::AcceptDataConnection() {
    if (!listener_ || !session_) {
        return false;
    }
    const ListeningSocket::Accepted accepted = listener_->Accept();
    if (accepted.handle < 0) {
        if (listener_->HasFailed()) {
            // The server's connection is refused with the listener, and its reply ends the command.
            WriteLog(LogKind::Error, Format("Cannot accept the data connection(%s), it is closed.",
                                            std::strerror(listener_->LastError())));
            CloseListener();
        }
        return false;
    }
    // Only the server may connect: anyone else who reaches the port could inject a listing or a
    // file's contents.
    sockaddr_in server{};
    if (!control_ || !control_->PeerAddress(server) ||
        server.sin_addr.s_addr != accepted.peer.sin_addr.s_addr) {
        ::close(accepted.handle);
        WriteLog(LogKind::Error,
                 Format("Refused a data connection from %s:%d, it does not come from the server.",
                        DottedAddress(accepted.peer.sin_addr.s_addr).constData(),
                        ntohs(accepted.peer.sin_port)));
        return true;
    }
    CloseListener(); // one connection a command
    session_->listingBuffer.clear();
    RetireDataConnection();
    data_ = std::make_unique<DataConnection>(*this);
    data_->raw = currentCommand_ && currentCommand_->raw;
    if (!data_->AttachHandle(accepted.handle, DataEvents())) {
        RetireDataConnection();
        return true;
    }
    OnUploadDataReady(); // an adopted connection raises no connect event
    return true;
}

unsigned SessionEngine::DataEvents() const {
    return currentTransfer_ && currentTransfer_->upload && !session_->listingMode ? kUploadEvents
                                                                                  : kDownloadEvents;
}

std::unique_ptr<DataConnection> SessionEngine::MakeDataConnection() {
    auto connection = std::make_unique<DataConnection>(*this);
    if (!connection->Open(0, DataEvents())) {
        return nullptr;
    }
    ApplySocksSettings(*connection);
    return connection;
}

QByteArray SessionEngine::ServerHost() const {
    if (!control_) {
        return {};
    }
    if (ThroughTunnel()) {
        // What the tunnel of the control connection was asked to reach: an address, or a name the
        // proxy resolves.
        const ProxyTarget& target = control_->Target();
        return target.address != 0 ? DottedAddress(target.address) : target.host;
    }
    sockaddr_in peer{};
    return control_->PeerAddress(peer) ? DottedAddress(peer.sin_addr.s_addr) : QByteArray();
}

void SessionEngine::ConnectPassiveData(const FtpCommand& pasv) {
    const std::optional<PassiveAddress> address = ParsePassiveReply(pasv.replyText);
    RetireDataConnection();
    if (!pasv.raw && (!currentSequence_ || currentSequence_->IsEmpty())) {
        return; // the command it was for was given up (an abort): a connection would wait for nothing
    }
    // The data connection goes to the server the control connection reaches, whatever address the
    // reply names: a reply must not send us to another host or to a service of this machine, and
    // servers behind NAT announce addresses nobody outside reaches.
    const QByteArray host = ServerHost();
    if (!address || host.isEmpty()) {
        return; // the server answers the LIST alone, with a 425
    }
    if (address->host != host) {
        WriteLog(LogKind::Status, Format("The server named %s for the data connection, %s is used instead.",
                                         address->host.constData(), host.constData()));
    }
    data_ = MakeDataConnection();
    if (data_) {
        data_->raw = pasv.raw;
        data_->viaProxy = false;
        data_->ConnectToHost(host, address->port);
    }
}

void SessionEngine::HandleListingReply(FtpCommand& command) {
    FtpSession& session = *session_;
    const QByteArray& text = command.text;
    const int code = command.replyCode;
    if (text.startsWith("REST")) {
        if (Setting(setting::kResumeSupport) != 0) {
            if (session.resumeProbePending && code == 350) {
                session.restSupported = true;
            }
            session.resumeProbePending = false;
        }
    } else if (text.startsWith("CWD") || text == "CDUP") {
        if (Failed(code) && JobListsDirectory()) {
            OnJobDirectoryRefused(command, true);
        } else if (Failed(code)) {
            RecordFailedCommand(command);
        }
    } else if (text == "PWD") {
        if (code == 257) {
            if (std::optional<QByteArray> path = ParseQuotedPath(command.replyText)) {
                session.currentDirectory = std::move(*path);
            }
        }
        if (JobListsDirectory()) {
            CheckJobDirectory(); // without a 257, by the path the CWD went to
        }
    } else if (text.startsWith("PORT")) {
        if (Failed(code)) {
            FallBackToPasv(*currentSequence_, command);
        }
    } else if (text == "PASV") {
        if (Failed(code)) {
            FallBackToPort(*currentSequence_, command);
        } else {
            ConnectPassiveData(command);
        }
    } else if (text.startsWith("LIST")) {
        session.firstListingPending = false;
        if (Failed(code) && JobListsDirectory()) {
            OnJobDirectoryRefused(command, false);
        }
    }
}

void SessionEngine::FallBackToPasv(CommandSequence& sequence, FtpCommand& port) {
    CloseListener();
    if (sequence.fellBackToPasv) {
        RecordFailedCommand(port);
        return;
    }
    sequence.fellBackToPasv = true;
    sequence.PushFront("PASV");
}

void SessionEngine::FallBackToPort(CommandSequence& sequence, FtpCommand& pasv) {
    CloseListener();
    if (sequence.fellBackToPort || ThroughTunnel() || !OpenActiveListener(sequence, false)) {
        RecordFailedCommand(pasv);
        return;
    }
    sequence.fellBackToPort = true;
}

void SessionEngine::OnDataHostResolved(int error) {
    if (!data_) {
        return;
    }
    if (error == 0) {
        data_->ConnectToAddress(data_->RemoteAddress());
    }
    WriteLog(LogKind::Status, "Connecting to proxy...");
}

void SessionEngine::OnDataConnected(int error) {
    // As for the control connection's events: one look at the settings file.
    const SettingsStore::SharedLook look(settings_);
    if (!session_) {
        return;
    }
    session_->listingBuffer.clear();
    session_->speedByteCount = 0;
    if (!session_->listingMode && currentTransfer_) {
        RestartDownloadTimer();
    }
    if (error != 0) {
        // A data connection that could not be made ends as if it had closed: the server's reply to
        // the data command then completes the operation instead of a wait without end.
        OnDataClosed(error);
        return;
    }
    if (data_ && !data_->IsNegotiating()) {
        OnUploadDataReady(); // through a tunnel: once it stands (its first writable event)
    }
}

void SessionEngine::OnDataReadable(int /*error*/) {
    const SettingsStore::SharedLook look(settings_);
    if (!session_ || !data_) {
        return;
    }
    if (!session_->dataStart) {
        session_->dataStart = clock_();
    }
    if (!session_->listingMode && currentTransfer_ && !data_->raw) {
        ReceiveFileData();
        return;
    }
    const qint64 chunk = ChunkBytes(setting::kReceiveSize);
    if (data_->raw) {
        // The data of a command typed by the user is not a listing of ours: it is read and dropped.
        std::vector<char> scratch(static_cast<std::size_t>(chunk));
        for (int i = 0; i < kMaxChunksPerEvent && data_->Read(scratch.data(), chunk) > 0; ++i) {
        }
        return;
    }
    QByteArray& listing = session_->listingBuffer;
    for (int i = 0; i < kMaxChunksPerEvent; ++i) {
        const qsizetype before = listing.size();
        if (before > kMaxListingBytes) {
            RetireDataConnection();
            WriteLog(LogKind::Error, "Directory listing too large, the data connection is closed.");
            OnDataClosed(0);
            return;
        }
        listing.resize(before + chunk);
        const qint64 got = data_->Read(listing.data() + before, chunk);
        listing.resize(before + qMax<qint64>(got, 0));
        if (got < 1) {
            break;
        }
    }
    if (data_->ReachedEnd()) {
        OnDataAtItsEnd();
    }
}

void SessionEngine::OnDataAtItsEnd() {
    OnDataClosed(0);
    // The server sends its final reply as it closes the data connection, so the reply has mostly
    // arrived by now: it is read at once rather than after one more turn of the loop.
    if (session_ && session_->awaitingReply && control_ && !inQuestion_) {
        OnControlReadable(0);
    }
}

void SessionEngine::OnDataWritable(int /*error*/) {
    if (session_ && !session_->dataStart) {
        session_->dataStart = clock_();
    }
    if (upload_ && !upload_->dataReady) {
        OnUploadDataReady(); // a tunnel that has just been set up
        return;
    }
    SendFileData();
}

void SessionEngine::OnDataClosed(int /*error*/) {
    const SettingsStore::SharedLook look(settings_);
    const bool raw = data_ && data_->raw;
    RetireDataConnection();
    if (!session_) {
        return;
    }
    FtpSession& session = *session_;
    if (!session.listingMode && currentTransfer_ && !raw) {
        if (!session.awaitingReply) {
            CompleteTransfer(session.lastReplyCode); // the final reply came first
        }
    } else {
        QByteArray message;
        if (!session.awaitingReply && !raw) {
            message = FinishListing();
        }
        if (!message.isEmpty()) {
            WriteLog(LogKind::Status, message);
            WriteBlankLine();
        }
    }
    if (!session_ || session_->awaitingReply) {
        return; // the final reply completes the listing or the file
    }
    // The final reply came first; with a refusal (425, 426, 450, 451) the operation ends here too.
    if (currentSequence_ && !currentSequence_->IsEmpty()) {
        SendNextOfCurrentSequence();
        return;
    }
    SequenceFinished();
}

QByteArray SessionEngine::FinishListing() {
    QByteArray message = FormatReceiveSpeed();
    FtpSession& session = *session_;
    if (session.lastReplyCode < 400 && JobListsDirectory()) {
        walk_.outcome = DirectoryOutcome::Listed; // the job takes its contents next
    }
    if (!session.jobRunning && session.lastReplyCode < 400) {
        view_.ClearPane();
        const bool cache = Setting(setting::kFolderCatch) != 0;
        if (const FolderCacheEntry* old = session.folderCache.Find(session.currentDirectory)) {
            if (session.cachedListing == old) {
                session.cachedListing = nullptr;
            }
            session.folderCache.Remove(old);
        }
        view_.SetPath(session.currentDirectory);
        // The parser takes the buffer over: it becomes the cache entry's text (or the bytes the items
        // share), so the listing is never held twice.
        ParsedListing parsed = ParseListing(std::move(session.listingBuffer), session.currentDirectory, cache,
                                            LocalDate::Today(), listingItemLimit_);
        session.listingBuffer = QByteArray();
        if (parsed.cutLines > 0) {
            WriteLog(
                LogKind::Error,
                Format("Directory listing too long, only its first %lld entries are shown (%lld lines cut).",
                       static_cast<long long>(listingItemLimit_), static_cast<long long>(parsed.cutLines)));
        }
        if (parsed.cacheEntry) {
            session.folderCache.Append(std::move(*parsed.cacheEntry));
        }
        DisplayItems(std::move(parsed.items));
    }
    if (currentSequence_ && currentSequence_->IsEmpty() && !session.jobRunning) {
        view_.SetPaneEnabled(true);
    }
    return message;
}

void SessionEngine::DisplayItems(ListingItems items) {
    items_ = std::move(items);
    shownDirectory_ = session_ ? session_->currentDirectory : QByteArray();
    view_.ShowListing(items_);
}

QByteArray SessionEngine::FormatReceiveSpeed() {
    FtpSession& session = *session_;
    if (!session.dataEnd) {
        session.dataEnd = clock_();
    }
    QByteArray message;
    if (session.dataStart && session.dataEnd) {
        // Elapsed time from the two moments themselves, so a listing across midnight is not negative.
        const qint64 elapsed = session.dataStart->msecsTo(*session.dataEnd);
        const qint64 bytes =
            session.listingMode ? session.listingBuffer.size() : qint64(session.speedByteCount);
        if (elapsed > 0 && (session.lastReplyCode == 226 || session.lastReplyCode == 250)) {
            message = Format("Receive %lldkb in %lld milliseconds(%lldkb/s)", static_cast<long long>(bytes),
                             static_cast<long long>(elapsed), static_cast<long long>(bytes / elapsed));
            message += "\xE3\x80\x82"; // the ideographic full stop
        }
    }
    session.dataStart.reset();
    session.dataEnd.reset();
    return message;
}

} // namespace tessaly
