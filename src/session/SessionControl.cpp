// Keeping a session in step with its server outside any one operation: the keep-alive of an idle
// session, operations asked for while its command runs, the replies still owed to commands given up
// by an abort, and reconnecting.
#include "session/SessionEngine.h"
#include "session/TextFormat.h"

namespace tessaly {

namespace {

bool ChangesDirectory(const QByteArray& commandText) {
    return StartsWithNoCase(commandText, "CWD") || StartsWithNoCase(commandText, "CDUP");
}

} // namespace

QList<QByteArray> CutIdleCommandList(const QByteArray& list) {
    QList<QByteArray> texts;
    qsizetype start = 0;
    while (start < list.size()) {
        const qsizetype comma = list.indexOf(',', start);
        if (comma < 0) {
            texts.append(list.mid(start));
            break;
        }
        texts.append(list.mid(start, comma - start));
        start = comma + 1;
    }
    return texts;
}

void SessionEngine::OnKeepAlive() {
    keepAliveTimer_.stop();
    if (!session_ || !control_ || !IsIdle() || currentSequence_ || session_->jobRunning) {
        return;
    }
    const QList<QByteArray> texts = CutIdleCommandList(settings_.Text(setting::kIdleCmdList).toUtf8());
    // An empty list lists the directory again, as "Reload" does.
    const QByteArray picked = texts.isEmpty() ? QByteArray("Reload") : texts.at(random_() % texts.size());
    keepAliveInFlight_ = true;
    if (picked.compare("Reload", Qt::CaseInsensitive) == 0) {
        RefreshListing(true);
        return;
    }
    currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
    currentSequence_->Append(picked);
    SendNextOfCurrentSequence();
}

bool SessionEngine::DeferBehindKeepAlive(std::function<bool()> start) {
    if (!session_ || !keepAliveInFlight_ || session_->jobRunning || deferred_) {
        return false;
    }
    deferred_ = std::move(start);
    return true;
}

bool SessionEngine::RunDeferredOperation() {
    if (!deferred_) {
        return false;
    }
    const std::function<bool()> start = std::move(deferred_);
    deferred_ = nullptr;
    return start();
}

bool SessionEngine::DiscardOwedReplies(const ReplyScan& scan) {
    FtpSession& session = *session_;
    if (session.owedReplies <= 0 || currentCommand_ || !session.loggedIn) {
        return false;
    }
    // Nothing has been sent since the command was given up, so whatever completes now is its reply:
    // shown, and taken for no other command.
    for (const QByteArray& line : scan.lines) {
        WriteLog(LogKind::Reply, line);
    }
    session.replyLines.clear();
    session.reply.Consume(scan.consumed);
    session.owedReplies = qMax(0, session.owedReplies - scan.completionCount);
    if (session.owedReplies == 0) {
        StopOwedReplyWait();
    }
    return true;
}

void SessionEngine::StopOwedReplyWait() {
    owedReplyTimer_.stop();
    if (session_) {
        session_->owedReplies = 0;
    }
    if (currentSequence_ && !currentCommand_) {
        SendNextOfCurrentSequence(); // the command that waited goes out now
    }
}

void SessionEngine::RestoreShownDirectory(bool directoryMayHaveChanged) {
    FtpSession& session = *session_;
    if (shownDirectory_.isEmpty()) {
        return;
    }
    const bool differs = session.currentDirectory != shownDirectory_;
    session.currentDirectory = shownDirectory_;
    if (differs || directoryMayHaveChanged) {
        // The server may have gone into the other directory: it is sent back, so a name used next
        // is the one the pane shows.
        currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
        currentSequence_->Append("CWD " + shownDirectory_);
        SendNextOfCurrentSequence();
    }
}

void SessionEngine::AbortSingleOperation() {
    FtpSession& session = *session_;
    // The server still answers a command that went out; that answer must not be taken for the
    // next command's, so it is waited for (a while) and dropped when it comes.
    const bool replyOwed = currentCommand_ && currentCommand_->sent;
    const bool directoryMayHaveChanged =
        (replyOwed && ChangesDirectory(currentCommand_->text)) ||
        (currentSequence_ && currentSequence_->Kind() == SequenceKind::Listing);
    currentSequence_.reset();
    currentCommand_.reset();
    keepAliveInFlight_ = false;
    CloseListener();
    RetireDataConnection();
    session.refreshPending = false;
    session.awaitingReply = false;
    if (replyOwed) {
        session.owedReplies = 1;
        owedReplyTimer_.start(owedReplyWaitMs_);
    }
    view_.SetPaneEnabled(true);
    RestoreShownDirectory(directoryMayHaveChanged);
    if (!currentSequence_ && !RunDeferredOperation()) {
        StartKeepAlive(); // idle again
    }
}

void SessionEngine::StartKeepAlive() {
    if (Setting(setting::kKeepConnection) != 0) {
        keepAliveTimer_.start(TimerPeriod(Setting(setting::kIdleCommand), secondMs_));
    }
}

void SessionEngine::AppendTypeCommand(CommandSequence& sequence, const QByteArray& type) {
    // The server keeps its type between commands: a file after a file of the same type needs none.
    if (session_->serverType != type) {
        sequence.Append(type);
    }
}

void SessionEngine::StartReplyTimer() {
    if (Setting(setting::kUseTimeout) != 0) {
        replyTimer_.start(TimeoutPeriod(Setting(setting::kFtpCommandTimeout), secondMs_,
                                        setting::kFtpCommandTimeout.defaultNumber));
    }
}

void SessionEngine::StopOperationTimers() {
    for (QTimer* timer : {&connectTimer_, &replyTimer_, &uploadTimer_, &downloadTimer_}) {
        timer->stop();
    }
}

bool SessionEngine::Reconnect() {
    if (!lastSession_) {
        return false;
    }
    WriteLog(LogKind::Status, Format("Disconnect(%s).", Stamp().constData()));
    CloseSession(); // keeps the closing session's directory in the last session
    view_.SetPaneBusy(true);
    session_ = std::make_unique<FtpSession>();
    ++sessionSerial_;
    session_->CopyParametersFrom(*lastSession_);
    // A fresh connection: nothing of the last one's welcome or replies, and no attempt spent.
    session_->loggedIn = false;
    session_->awaitingReply = true;
    session_->welcomeText.clear();
    session_->reply.Clear();
    session_->firstListingPending = true;
    session_->resumeProbePending = true;
    ConnectSession();
    return true;
}

} // namespace tessaly
