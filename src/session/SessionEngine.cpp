#include "session/SessionEngine.h"

#include "session/DeleteJob.h"
#include "session/DownloadJob.h"
#include "session/LogStyle.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

#include <QRandomGenerator>
#include <limits>

namespace tessaly {

namespace {

constexpr int kControlEvents = 63;

} // namespace

int TimerPeriod(qint64 count, qint64 unitMs) {
    constexpr qint64 kLongest = std::numeric_limits<int>::max();
    if (count <= 0 || unitMs <= 0) {
        return 0;
    }
    return count > kLongest / unitMs ? int(kLongest) : int(count * unitMs);
}

int TimeoutPeriod(qint64 count, qint64 unitMs, qint64 defaultCount) {
    return TimerPeriod(count < 1 ? defaultCount : count, unitMs);
}

SessionEngine::SessionEngine(EngineView& view, SettingsStore settings)
    : view_(view), settings_(std::move(settings)), clock_([] { return QDateTime::currentDateTimeUtc(); }),
      meter_(view), random_([] { return QRandomGenerator::global()->generate(); }) {
    for (QTimer* timer : {&keepAliveTimer_, &connectTimer_, &replyTimer_, &retryWaitTimer_, &downloadTimer_,
                          &uploadTimer_, &owedReplyTimer_}) {
        timer->setSingleShot(true);
    }
    QObject::connect(&keepAliveTimer_, &QTimer::timeout, &context_, [this] { OnKeepAlive(); });
    // The owed reply has not come: the server is taken to have dropped it.
    QObject::connect(&owedReplyTimer_, &QTimer::timeout, &context_, [this] { StopOwedReplyWait(); });
    for (QTimer* timer : {&downloadTimer_, &uploadTimer_}) {
        QObject::connect(timer, &QTimer::timeout, &context_, [this] {
            WriteBlankLine();
            WriteLog(LogKind::Error, "File transfer timeout!");
            AbortCommand();
        });
    }
    QObject::connect(&connectTimer_, &QTimer::timeout, &context_, [this] { OnConnectTimeout(); });
    QObject::connect(&retryWaitTimer_, &QTimer::timeout, &context_, [this] {
        if (inQuestion_) {
            // A new connection now would overtake the answer being given for the old one.
            retryAfterQuestion_ = true;
            return;
        }
        if (session_) {
            --session_->attemptsLeft;
            ConnectSession();
        }
    });
    retiredTimer_.setSingleShot(true);
    retiredTimer_.setInterval(0);
    QObject::connect(&retiredTimer_, &QTimer::timeout, &context_, [this] {
        retired_.clear();
        retiredListeners_.clear();
    });
    QObject::connect(&replyTimer_, &QTimer::timeout, &context_, [this] {
        replyTimer_.stop();
        WriteBlankLine();
        WriteLog(LogKind::Error, "Command reply timeout!");
        AbortCommand();
    });
}

SessionEngine::~SessionEngine() {
    if (data_) {
        data_->CloseSocket();
    }
    if (control_) {
        control_->CloseSocket();
    }
}

void SessionEngine::WriteLog(LogKind kind, const QByteArray& text) {
    view_.AppendLog(FormatLogLine(kind, text), LogColourOf(kind));
}

void SessionEngine::WriteLogText(const QByteArray& text) {
    view_.AppendLog(text, LogColourOf(LogKind::Reply));
}

void SessionEngine::WriteBlankLine() {
    if (Setting(setting::kReturnLine) != 0) {
        WriteLogText("\r\n");
    }
}

QByteArray SessionEngine::Stamp() const {
    return LogTimeStamp(clock_().toLocalTime());
}

bool SessionEngine::IsIdle() const {
    return session_ && session_->loggedIn && !currentCommand_ && !session_->awaitingReply;
}

std::unique_ptr<FtpCommand> SessionEngine::SendNextCommand(CommandSequence& sequence) {
    if (sequence.IsEmpty() || !control_ || !session_) {
        return nullptr;
    }
    const bool awaiting = session_->awaitingReply;
    const bool force = session_->forceSend;
    if (awaiting != force) {
        return nullptr;
    }
    std::unique_ptr<FtpCommand> command = sequence.TakeHead();
    if (!command->statusBefore.isEmpty()) {
        WriteLog(LogKind::Status, command->statusBefore);
    }
    WriteLog(LogKind::Command, CommandSequence::LogText(*command, settings_, session_->anonymous));
    MarkBusy();
    const QByteArray& text = command->text;
    command->dataCommand = OpensDataTransfer(text);
    if (StartsWithNoCase(text, "TYPE")) {
        session_->serverType.clear(); // not known until the server has answered
    }
    control_->SendLine(text);
    command->sent = true;
    if (!command->dataCommand) {
        StartReplyTimer();
    }
    return command;
}

void SessionEngine::SendNextOfCurrentSequence() {
    if (!currentSequence_ || !session_) {
        return;
    }
    if (session_->owedReplies > 0 && !session_->forceSend) {
        // A command given up still has its answer to come: the next command waits for it (or for
        // the owed-reply wait to end), so the two answers are never taken for each other.
        view_.SetPaneEnabled(false);
        return;
    }
    // No command goes out whose text could end the line early: a CR, LF or NUL (from a name, say)
    // would let its text after it be taken as a second command.
    while (FtpCommand* head = currentSequence_->Head()) {
        const QByteArray& text = head->text;
        if (!BreaksCommandLine(text)) {
            break;
        }
        const std::unique_ptr<FtpCommand> refused = currentSequence_->TakeHead();
        WriteLog(LogKind::Error, "A command holding a line break or a NUL byte is not sent.");
        refused->replyText = "Not sent: it holds a line break or a NUL byte.";
        RecordFailedCommand(*refused);
        if (currentSequence_->IsEmpty() && !session_->awaitingReply && !currentCommand_ && !data_) {
            SequenceFinished();
            return;
        }
    }
    if (std::unique_ptr<FtpCommand> sent = SendNextCommand(*currentSequence_)) {
        currentCommand_ = std::move(sent);
    }
}

void SessionEngine::SequenceFinished() {
    currentSequence_.reset();
    if (session_ && session_->jobRunning) {
        ContinueJob();
        return;
    }
    keepAliveInFlight_ = false;
    if (RunDeferredOperation()) {
        return; // the operation that waited for the keep-alive runs now
    }
    const quint64 serial = sessionSerial_;
    GoIdle();
    if (session_ && serial == sessionSerial_ && session_->refreshPending && IsIdle()) {
        RefreshListing(false);
    }
}

void SessionEngine::MarkBusy() {
    view_.SetPaneEnabled(false);
    session_->awaitingReply = true;
    keepAliveTimer_.stop();
}

bool SessionEngine::SendCommands(const QList<QByteArray>& lines) {
    if (DeferBehindKeepAlive([this, lines] { return SendCommands(lines); })) {
        return true;
    }
    if (!IsIdle() || currentSequence_ || session_->jobRunning || lines.isEmpty()) {
        return false;
    }
    currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
    for (const QByteArray& line : lines) {
        currentSequence_->Append(line).raw = true;
    }
    SendNextOfCurrentSequence();
    return true;
}

void SessionEngine::FinishReply(qsizetype consumed, bool dataCommandRefused) {
    const bool dataCommandEnded = currentCommand_ && currentCommand_->dataCommand;
    const bool raw = currentCommand_ && currentCommand_->raw;
    const bool transferEnded = dataCommandEnded && !raw && currentTransfer_;
    const int replyCode = currentCommand_ ? currentCommand_->replyCode : 0;
    currentCommand_.reset();
    if (!session_) {
        return;
    }
    session_->reply.Consume(consumed);
    if (dataCommandEnded) {
        CloseListener(); // no connection is taken for a command that has ended
    }
    const bool sequenceDone = !currentSequence_ || currentSequence_->IsEmpty();
    if (data_ && (dataCommandRefused || (data_->raw && raw && (dataCommandEnded || sequenceDone)))) {
        // The server refused the transfer, or a command the user typed has had its reply: whatever
        // the data connection holds is not waited for.
        RetireDataConnection();
    }
    if (transferEnded && !data_) {
        CompleteTransfer(replyCode); // the data connection is gone already: the file ends here
    }
    if (data_) {
        // The data connection's close continues the work.
        if (currentSequence_ && currentSequence_->IsEmpty()) {
            currentSequence_.reset();
        } else {
            SendNextOfCurrentSequence();
        }
        return;
    }
    if (currentSequence_ && !currentSequence_->IsEmpty()) {
        SendNextOfCurrentSequence();
        return;
    }
    SequenceFinished();
}

void SessionEngine::GoIdle() {
    if (!session_) {
        return;
    }
    const quint64 serial = sessionSerial_;
    if (!data_) {
        view_.SetPaneEnabled(true);
    }
    StartKeepAlive();
    if (ServerMessage* latest = session_->latestMessage) {
        const bool welcome = latest == session_->firstMessage;
        const int show = welcome ? Setting(setting::kShowLoginMsg) : Setting(setting::kShowDirMsg);
        if (latest->unshown && show != 0) {
            latest->unshown = false;
            session_->latestMessage = nullptr;
            const QByteArray text = latest->text;
            Ask([&] {
                view_.ShowServerMessages({text});
                return true;
            });
            if (!session_ || serial != sessionSerial_) {
                return;
            }
        }
    }
    if (!session_->failedCommands.empty()) {
        const std::vector<FailureRecord> records = std::move(session_->failedCommands);
        session_->failedCommands.clear();
        Ask([&] {
            view_.ShowFailedCommands(records);
            return true;
        });
        if (!session_ || serial != sessionSerial_) {
            return;
        }
    }
    view_.SessionIdle();
}

void SessionEngine::RecordFailedCommand(const FtpCommand& command) {
    // The command is recorded as the log showed it, so a refused password stays masked.
    session_->failedCommands.push_back(
        {FailureRecord::Kind::Command, CommandSequence::LogText(command, settings_, session_->anonymous)});
    session_->failedCommands.push_back({FailureRecord::Kind::Reply, command.replyText});
}

void SessionEngine::CloseSession() {
    const bool hadSession = session_ != nullptr;
    currentCommand_.reset();
    currentSequence_.reset();
    keepAliveInFlight_ = false;
    deferred_ = nullptr;
    shownDirectory_.clear();
    if (session_) {
        if (lastSession_) {
            lastSession_->currentDirectory = session_->currentDirectory;
        }
        session_.reset();
        ++sessionSerial_;
    }
    CloseListener();
    RetireDataConnection();
    RetireControlConnection();
    view_.ClearTasks(); // the rows go before their tasks
    ResetJob();
    items_ = {};
    for (QTimer* timer : {&keepAliveTimer_, &connectTimer_, &replyTimer_, &retryWaitTimer_, &downloadTimer_,
                          &uploadTimer_, &owedReplyTimer_}) {
        timer->stop();
    }
    retryAfterQuestion_ = false;
    view_.ClearPane();
    view_.SetPaneEnabled(false);
    view_.SetPaneBusy(false);
    QString title = view_.WindowTitle();
    const qsizetype dash = title.indexOf(u'-');
    if (dash >= 0) {
        title.truncate(qMax<qsizetype>(0, dash - 1));
        view_.SetWindowTitle(title);
    }
    if (hadSession) {
        view_.SessionClosed();
    }
}

void SessionEngine::Retire(std::unique_ptr<AsyncSocket> socket) {
    if (!socket) {
        return;
    }
    socket->CloseSocket();
    retired_.push_back(std::move(socket));
    ClearRetiredLater();
}

void SessionEngine::RetireControlConnection() {
    Retire(std::move(control_));
}

void SessionEngine::RetireDataConnection() {
    Retire(std::move(data_));
}

void SessionEngine::CloseListener() {
    if (listener_) {
        listener_->Close(); // the port is closed now; the object may be announcing a connection
        retiredListeners_.push_back(std::move(listener_));
        ClearRetiredLater();
    }
}

void SessionEngine::ClearRetiredLater() {
    if (!retiredTimer_.isActive()) {
        retiredTimer_.start();
    }
}

void SessionEngine::Disconnect() {
    WriteLog(LogKind::Status, Format("Disconnect by client(%s).", Stamp().constData()));
    CloseSession();
}

void SessionEngine::AbortCommand() {
    if (!session_) {
        return;
    }
    // No time-out of what is given up may fire into what comes next.
    StopOperationTimers();
    if (!currentCommand_ || !session_->connected || !session_->loggedIn) {
        WriteLog(LogKind::Status, Format("Aborted by client(%s).", Stamp().constData()));
        CloseSession();
        return;
    }
    if (session_->firstListingPending) {
        WriteLog(LogKind::Status, Format("Disconnect by client(%s).", Stamp().constData()));
        CloseSession();
        return;
    }
    session_->serverType.clear(); // a TYPE given up may or may not have been taken
    if (session_->jobRunning) {
        AbortJob();
        return;
    }
    AbortSingleOperation();
}

void SessionEngine::AbortJob() {
    view_.SetWaitCursor(true);
    view_.SetTaskRedraw(false);
    RetireDataConnection();
    CloseListener();
    if (currentSequence_) {
        currentSequence_->Clear();
    }
    // A data command whose final reply has not come: the server is still transferring.
    // A delete job moves no file: its LIST, if one runs, is let finish.
    const bool transferAtServer =
        !deletion_ && session_->awaitingReply && currentCommand_ && currentCommand_->dataCommand;
    const QByteArray base = JobBaseDirectory();
    view_.ClearTasks();
    ResetJob(); // closes the local file with its task; what has arrived stays
    view_.RefreshLocalPane();
    if (!base.isEmpty()) {
        session_->currentDirectory = base;
    }
    if (transferAtServer) {
        // ABOR goes out at once, while the transfer's reply is still awaited; once the replies to
        // both have come, the directory is listed again.
        session_->refreshPending = true;
        if (!currentSequence_) {
            currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
        }
        currentSequence_->Append("ABOR");
        session_->forceSend = true;
        std::unique_ptr<FtpCommand> abort = SendNextCommand(*currentSequence_);
        session_->forceSend = false;
        if (abort) {
            currentCommand_ = std::move(abort);
        }
    } else if (session_->awaitingReply) {
        session_->refreshPending = true; // the listing follows the reply on its way
    } else {
        // Nothing more comes from the server (the transfer's reply came, its data had not ended).
        currentCommand_.reset();
        RefreshListing(false);
    }
    view_.SetTaskRedraw(true);
    view_.SetWaitCursor(false);
}

bool SessionEngine::Ask(const std::function<bool()>& question) {
    // A question may run a nested event loop. Control input waits in the socket meanwhile and is
    // taken up again afterwards, so the reply being handled is never overtaken by the next one.
    const bool outer = !inQuestion_;
    inQuestion_ = true;
    const bool answer = question();
    settings_.LookAgain(); // the user may have changed the settings meanwhile
    if (outer) {
        inQuestion_ = false;
        if (control_ && control_->IsOpen()) {
            control_->SelectEvents(kControlEvents);
        }
        if (retryAfterQuestion_) {
            retryAfterQuestion_ = false;
            if (session_) {
                retryWaitTimer_.start(0); // through the loop, after the caller has seen the answer
            }
        }
    }
    return answer;
}

} // namespace tessaly
