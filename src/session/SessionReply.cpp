// The reply reader: everything the server says on the control connection comes in here, is matched
// to the current command, logged and handled, and then the sequence goes on.
#include "session/DeleteJob.h"
#include "session/RemotePath.h"
#include "session/ReplyFields.h"
#include "session/SessionEngine.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

#include <cstring>
#include <vector>

namespace tessaly {

namespace {

constexpr unsigned kControlEvents = 63;
// A command keeps at most this much of its reply text.
constexpr qsizetype kMaxCommandReplyText = qsizetype(1) << 20;
// Chunks read from the control connection in one readable event.
constexpr int kMaxChunksPerEvent = 16;

bool SendsData(const QByteArray& commandText) {
    return StartsWithNoCase(commandText, "STOR") || StartsWithNoCase(commandText, "STOU") ||
           StartsWithNoCase(commandText, "APPE");
}

bool EndsDataTransfer(int code) {
    return code == 226 || code == 250 || code == 425 || code == 426 || code == 450 || code == 451;
}

} // namespace

void SessionEngine::OnControlReadable(int error) {
    // The settings this event's handling reads are looked up in the file once.
    const SettingsStore::SharedLook look(settings_);
    if (!session_ || !control_ || inQuestion_) {
        return; // during a question the bytes wait in the socket
    }
    if (error != 0) {
        const int code = control_->LastError();
        WriteLog(LogKind::Error, Format("Server reply failed, Winsock error code: %2X(%s). %s", code,
                                        Stamp().constData(), std::strerror(code)));
        CloseSession();
        return;
    }
    if (control_->LastProxyError() > 0) {
        HandleProxyFailure();
        return;
    }
    if (!ReadControlBytes()) {
        return;
    }
    FtpSession& session = *session_;
    const ReplyScan scan = session.reply.Scan();
    session.replyLines = scan.lines;
    if (scan.finalCount == 0) {
        session.replyLines.clear();
        return;
    }
    if (DiscardOwedReplies(scan)) {
        return;
    }
    session.lastReplyCode = scan.lastCode;
    if (currentCommand_) {
        currentCommand_->replyCode = scan.lastCode;
        if (StartsWithNoCase(currentCommand_->text, "TYPE")) {
            session.serverType = scan.lastCode / 100 == 2 ? currentCommand_->text : QByteArray();
        }
    }

    QByteArray statusText;
    // What the tail still takes out of the buffer: a data command's first reply is taken at once.
    const qsizetype consumed = ApplyAwaitingRules(scan, statusText);

    for (const QByteArray& line : session.replyLines) {
        WriteLog(LogKind::Reply, line);
    }
    StoreServerMessage(scan);
    session.replyLines.clear();

    if (session.awaitingReply) {
        // A refused transfer fails its task here once transfers exist.
        if (currentCommand_ && currentCommand_->dataCommand && currentCommand_->replyCode > 400) {
            session.awaitingReply = false;
        } else {
            return;
        }
    }
    replyTimer_.stop();
    if (!statusText.isEmpty()) {
        WriteLog(LogKind::Status, statusText);
        WriteBlankLine();
    }
    if (!session.loggedIn) {
        if (!RunLogon(scan)) {
            return;
        }
    } else if (currentCommand_) {
        HandleCommandReply(*currentCommand_);
        if (!session_) {
            return;
        }
    }
    const bool refused = currentCommand_ && currentCommand_->dataCommand && currentCommand_->replyCode >= 400;
    FinishReply(consumed, refused);
}

bool SessionEngine::ReadControlBytes() {
    if (control_->IsOpen()) {
        const qint64 chunk = ChunkBytes(setting::kControlSize);
        std::vector<char>& buffer = controlReadBuffer_;
        buffer.resize(static_cast<std::size_t>(chunk) + 1);
        // A bounded amount an event: a server that keeps sending cannot keep the loop from the
        // timers and the user, and the length guard below sees every slice.
        for (int i = 0; i < kMaxChunksPerEvent; ++i) {
            const qint64 got = control_->Read(buffer.data(), chunk);
            if (got <= 0) {
                break;
            }
            session_->reply.Append(buffer.data(), got);
            if (currentCommand_ && currentCommand_->replyText.size() < kMaxCommandReplyText) {
                currentCommand_->replyText.append(buffer.data(), got);
            }
            if (session_->reply.IsOverlong() || got < chunk) {
                break; // a short read has emptied the socket; what comes later raises a new event
            }
        }
        control_->SelectEvents(kControlEvents);
    }
    if (session_->reply.IsOverlong()) {
        // No server sends a reply this long; growing without end would only exhaust memory.
        WriteLog(LogKind::Error,
                 Format("Server reply too long without a final line, disconnect(%s).", Stamp().constData()));
        WriteBlankLine();
        CloseSession();
        return false;
    }
    return true;
}

qsizetype SessionEngine::ApplyAwaitingRules(const ReplyScan& scan, QByteArray& statusText) {
    FtpSession& session = *session_;
    FtpCommand* command = currentCommand_.get();
    if (!command) {
        // The welcome, or a late reply to a command that was given up locally: the engine is not
        // kept waiting for it.
        session.awaitingReply = false;
        return scan.consumed;
    }
    qsizetype left = scan.consumed;
    if (!command->dataCommand) {
        session.awaitingReply = false;
    }
    if (command->text == "ABOR" && scan.completionCount < 2) {
        // ABOR waits for the reply that ends the aborted transfer and for its own; a 150 that
        // started the transfer late is neither.
        session.replyLines.clear();
        session.awaitingReply = true;
    }
    if (command->dataCommand) {
        if (scan.finalCount == 1) {
            session.reply.Consume(scan.consumed); // the next reply is counted alone
            left = 0;
        }
        if ((scan.lastCode == 125 || scan.lastCode == 150) && scan.finalCount == 1) {
            session.awaitingReply = true;
            if (!command->raw) {
                OnUploadStarted();
            }
            if (command->raw && data_ && data_->raw && SendsData(command->text)) {
                // An upload the user typed has nothing of ours to send: it ends empty, so the
                // server's final reply comes instead of a wait without end.
                RetireDataConnection();
            }
        } else if (EndsDataTransfer(scan.lastCode)) {
            session.awaitingReply = false;
            if (scan.lastCode < 400) {
                TakeQueuedDataConnection();
            }
            // With the data connection already closed, the transfer completes here.
            if (scan.lastCode < 400 && !data_ && session.listingMode && !command->raw) {
                statusText = FinishListing();
            }
        }
    }
    return left;
}

void SessionEngine::StoreServerMessage(const ReplyScan& scan) {
    FtpSession& session = *session_;
    const FtpCommand* command = currentCommand_.get();
    if (!session.welcomeText.isEmpty() || session.replyLines.size() <= 1 || !command ||
        command->dataCommand || command->text == "ABOR") {
        return;
    }
    auto message =
        std::make_unique<ServerMessage>(session.reply.Buffer().left(qMax<qsizetype>(0, scan.consumed)));
    session.latestMessage = message.get();
    session.messages.push_back(std::move(message));
}

void SessionEngine::HandleCommandReply(FtpCommand& command) {
    command.sent = false;
    if (!command.statusAfter.isEmpty()) {
        WriteLog(LogKind::Status, command.statusAfter);
    }
    if (currentSequence_ && currentSequence_->Kind() == SequenceKind::Listing) {
        HandleListingReply(command);
        return;
    }
    if (currentTransfer_ && command.text.startsWith("REST ") && command.replyCode != 350) {
        // The server will not start where the local file ends: the RETR that follows would send
        // the file from its start onto the end of the local one. It is dropped, and the file fails.
        if (currentSequence_) {
            currentSequence_->DropHead();
        }
        RecordFailedCommand(command);
        RetireDataConnection();
        CompleteTransfer(command.replyCode >= 400 ? command.replyCode : 500);
        return;
    }
    const PlainCommandRule* rule = FindPlainCommandRule(command.text);
    if (!rule) {
        return;
    }
    const bool succeeded = IsSuccess(*rule, command.replyCode);
    for (CommandAction action : succeeded ? rule->onSuccess : rule->onFailure) {
        RunCommandAction(action, command, succeeded);
    }
}

void SessionEngine::RunCommandAction(CommandAction action, FtpCommand& command, bool succeeded) {
    FtpSession& session = *session_;
    switch (action) {
    case CommandAction::None:
        break;
    case CommandAction::RecordFailure:
        RecordFailedCommand(command);
        break;
    case CommandAction::RefreshAfterCreate:
        MarkDirectoryCreated();
        if (!session.jobRunning) {
            session.refreshPending = true;
        }
        break;
    case CommandAction::RefreshAfterRename:
        if (!session.jobRunning) {
            session.refreshPending = true;
        }
        break;
    case CommandAction::RefreshAfterSite:
        if (!command.noRefresh) {
            session.refreshPending = true;
        }
        TakeNewPassword(command);
        break;
    case CommandAction::DropRenameTarget:
        if (currentSequence_) {
            currentSequence_->DropHead();
        }
        [[fallthrough]];
    case CommandAction::DropRenameFollower:
        if (currentSequence_ && currentSequence_->Head() && currentSequence_->Head()->followsRename) {
            currentSequence_->DropHead();
        }
        break;
    case CommandAction::ForgetCachedTree: {
        // The command's argument, a name or a path, as the path it changed.
        const qsizetype space = command.text.indexOf(' ');
        if (space > 0) {
            session.folderCache.RemoveTree(
                ResolveRemotePath(session.currentDirectory, command.text.mid(space + 1)));
        }
        break;
    }
    case CommandAction::TakeSize: {
        session.sizeResult = ParseSizeReply(command.replyText);
        TakeRemoteSize(session.sizeResult);
        break;
    }
    case CommandAction::ShowCachedListing:
        ShowCachedListing(command);
        break;
    case CommandAction::DropCachedListing:
        session.cachedListing = nullptr;
        break;
    case CommandAction::ConnectPassive:
        ConnectPassiveData(command);
        break;
    case CommandAction::FallBackToPasv:
    case CommandAction::FallBackToPort:
        if (command.raw || !currentSequence_) {
            // A mode the user asked for is not swapped for the other one behind their back.
            RecordFailedCommand(command);
        } else if (action == CommandAction::FallBackToPasv) {
            FallBackToPasv(*currentSequence_, command);
        } else {
            FallBackToPort(*currentSequence_, command);
        }
        break;
    case CommandAction::QueuePendingDownload:
        if (!session.pendingDownloadPath.isEmpty()) {
            QueueDownloadByPath(succeeded, command);
        }
        break;
    }
}

} // namespace tessaly
