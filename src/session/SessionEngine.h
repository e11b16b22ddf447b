#pragma once

#include "net/ListeningSocket.h"
#include "session/CommandSequence.h"
#include "session/ControlConnection.h"
#include "session/DataConnection.h"
#include "session/EngineView.h"
#include "session/FtpSession.h"
#include "session/JobWalk.h"
#include "session/PlainCommandTable.h"
#include "settings/SettingsStore.h"
#include "transfer/ConflictQuestion.h"
#include "transfer/TransferMeter.h"

#include <QDateTime>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessaly {

struct DownloadEntry;
struct DownloadJob;
struct UploadEntry;
struct DeleteJob;
struct UploadJob;

// A timer's period for a count of units (seconds: 1000, minutes: 60000) from the settings, in
// milliseconds: below 0 counts as 0, and what the timer cannot hold is cut to the longest period it
// can, instead of overflowing into a short or negative one.
int TimerPeriod(qint64 count, qint64 unitMs);
// The period of a time-out from the settings: a count below 1 would time out at once, so it counts
// as the key's default.
int TimeoutPeriod(qint64 count, qint64 unitMs, qint64 defaultCount);

// "IdleCmdList" cut at its commas, in order: texts are not trimmed, two adjacent commas give an
// empty text, a trailing comma gives nothing.
QList<QByteArray> CutIdleCommandList(const QByteArray& list);

// The FTP session engine: at most one session at a time, driven by the events of its control
// connection, its timers and the user's commands, all on the one event loop. Every remote operation
// is a command sequence sent one command at a time, each after the complete reply to the one before.
// It reaches the user interface only through its view.
class SessionEngine {
public:
    // What a connect command gives a new session.
    struct StartRequest {
        QByteArray host;
        QByteArray userName = "anonymous";
        QByteArray password = FtpSession::kPlaceholderEmail;
        quint16 port = 21;
        QByteArray directory; // changed to after login; empty: the login directory
    };

    SessionEngine(EngineView& view, SettingsStore settings);
    ~SessionEngine();
    SessionEngine(const SessionEngine&) = delete;
    SessionEngine& operator=(const SessionEngine&) = delete;

    // Closes any current session and starts a new one: "RetryNumber" attempts; with 0 nothing starts.
    void StartSession(const StartRequest& request);
    // The user's Disconnect, once confirmed.
    void Disconnect();
    // Stops what is running; before login, or while the first listing runs, it ends the session.
    void AbortCommand();
    // Closes the session and connects again with the last logged-in session's parameters, in the
    // directory it had at its close; false when there was none.
    bool Reconnect();
    // Sends command lines as one plain sequence, as typed by the user; only while logged in and idle.
    bool SendCommands(const QList<QByteArray>& lines);
    // Lists the current directory again; keepDirectory lists whatever directory the server is in.
    void RefreshListing(bool keepDirectory);
    // Goes to a directory (up: the parent, whose path the caller computed), from the directory
    // cache when it holds the listing.
    void ChangeDirectory(const QByteArray& path, bool up);
    // The "Clear cache" command.
    void ClearCache();
    // Downloads items of the current listing into the local directory, as one job: files with one
    // task row each, a conflict question for a file that exists, resume with REST; directories (and
    // links) as whole trees, depth first in listing order. Only while idle and no job runs; false
    // when nothing started.
    bool DownloadItems(const QList<RemoteItem>& items, const QString& localDirectory);
    // Downloads one remote path, found or not in any listing: its size is asked with SIZE first.
    bool DownloadByPath(const QByteArray& path, const QString& localDirectory);
    // Fetches one file of the current listing into a directory of the program's own (mode 0700, made
    // once a run) and then has the view open it to view or to run. Nothing is asked: an earlier copy
    // there is replaced.
    bool ViewOrRun(const RemoteItem& file, FetchedFileAction action);
    // Uploads local files and directories (whole trees, hidden files included) into the current
    // directory, as one job: SIZE before each file, the conflict question for one that exists,
    // resume with REST, MKD for each directory. Each path keeps its own folder. Only while idle and
    // no job runs; false when nothing started.
    bool UploadPaths(const QStringList& localPaths);
    // Operations on the current directory's items, each a short sequence on a quiet session (logged
    // in, idle, no job, no sequence in flight; false otherwise). Refusals go to the failed-commands
    // report; the directory is listed again after a change.
    bool MakeDirectory(const QByteArray& name);
    bool RenameRemote(const QByteArray& oldName, const QByteArray& newName);
    // A rename when newName differs, then SITE CHMOD with the mode's three octal digits on the (new)
    // name when newMode (0 to 0777) differs from oldMode; -1: no mode. A refused rename drops the chmod.
    bool ApplyRemoteProperties(const QByteArray& name, const QByteArray& newName, int oldMode, int newMode);
    // SITE PSWD; once the server takes it, the session (and a reconnect) uses the new password.
    bool ChangePassword(const QByteArray& oldPassword, const QByteArray& newPassword);
    // Deletes the items, directories as whole trees (contents in listing order, then CDUP and RMD);
    // a link is deleted itself, never gone into.
    bool DeleteItems(const QList<RemoteItem>& items);
    // The download inactivity timer (14), for inspection by tests.
    const QTimer& DownloadTimer() const { return downloadTimer_; }
    // The upload inactivity timer (13), for inspection by tests.
    const QTimer& UploadTimer() const { return uploadTimer_; }
    // The running transfer's task, or none.
    const TransferTask* CurrentTransfer() const { return currentTransfer_; }
    // The items the remote pane shows now, and the directory they are of.
    const ListingItems& CurrentItems() const { return items_; }
    void CloseSession();

    const FtpSession* Session() const { return session_.get(); }
    const FtpSession* LastSession() const { return lastSession_.get(); }
    bool HasControlConnection() const { return control_ != nullptr; }
    const FtpCommand* CurrentCommand() const { return currentCommand_.get(); }
    bool IsIdle() const;
    const SettingsStore& Settings() const { return settings_; }

    // The log writer: kind 1 command, 2 status, 3 error, 4 reply line.
    void WriteLog(LogKind kind, const QByteArray& text);
    void WriteLogText(const QByteArray& text);

    // The clock behind the log's time stamps (shown in local time) and the speed lines. It runs in
    // UTC by default: the time between two readings then needs no time zone look-up, which a
    // download of many small files would otherwise pay several times a file. Tests fix it.
    void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    // The most entries a listing shows; the lines after them are cut. Tests lower it.
    void SetListingItemLimit(qsizetype limit) { listingItemLimit_ = limit; }

    // The random source the keep-alive picks its idle command with; tests make it predictable.
    void SetRandom(std::function<quint32()> random) { random_ = std::move(random); }
    // The length of the settings' seconds and minutes for the timers; tests shorten them.
    void SetTimeUnits(qint64 secondMs, qint64 minuteMs) {
        secondMs_ = secondMs;
        minuteMs_ = minuteMs;
    }
    // How long a command waits for the reply still owed to a command given up; tests shorten it.
    void SetOwedReplyWait(int milliseconds) { owedReplyWaitMs_ = milliseconds; }

    // Timers, for inspection by tests.
    const QTimer& KeepAliveTimer() const { return keepAliveTimer_; }
    const QTimer& ConnectTimer() const { return connectTimer_; }
    const QTimer& ReplyTimer() const { return replyTimer_; }

private:
    friend class ControlConnection;
    friend class DataConnection;

    // What a connection attempt reports when it retries or gives up.
    struct RetryTexts {
        const char* retry;
        const char* wait;
        const char* giveUp;
    };
    static const RetryTexts kLookupRetry;
    static const RetryTexts kConnectRetry;

    // Control connection hooks.
    void OnControlResolved(int error);
    void OnControlConnected(int error);
    void OnControlClosed(int error);
    void OnControlReadable(int error);
    void OnControlProxyConnected(int error);
    void OnControlProxyFailed(int mode);

    // Data connection hooks and the listener.
    void OnDataHostResolved(int error);
    void OnDataConnected(int error);
    void OnDataClosed(int error);
    void OnDataReadable(int error);
    void OnDataWritable(int error);
    // A read of the data connection has met its end (the server's close).
    void OnDataAtItsEnd();
    void OnListenerAccept();
    // Takes the server's data connection waiting in the listener's queue, if any; true when a
    // connection was taken from the queue (the server's, or another one refused).
    bool AcceptDataConnection();
    void TakeQueuedDataConnection();

    // Listings and the data channel.
    std::unique_ptr<CommandSequence> MakeListingSequence(bool keepDirectory);
    void QueueListCommands(CommandSequence& sequence, bool passive);
    bool OpenActiveListener(CommandSequence& sequence, bool atTail);
    void ConnectPassiveData(const FtpCommand& pasv);
    void HandleListingReply(FtpCommand& command);
    void FallBackToPasv(CommandSequence& sequence, FtpCommand& port);
    void FallBackToPort(CommandSequence& sequence, FtpCommand& pasv);
    QByteArray FinishListing();
    QByteArray FormatReceiveSpeed();
    void ShowCachedListing(const FtpCommand& command);
    void DisplayItems(ListingItems items);
    void RetireDataConnection();
    void CloseListener();
    std::unique_ptr<DataConnection> MakeDataConnection();
    // The events a data connection selects: writes for an upload, reads otherwise.
    unsigned DataEvents() const;
    // True while a SOCKS or HTTP tunnel carries the control connection.
    bool ThroughTunnel() const;
    // "PasvMode", or passive whatever it says through a tunnel (said in the log once a session).
    bool UsePassiveMode();
    // The server as the control connection reaches it: its address, or through a tunnel the target
    // handed to the proxy. Empty when unknown.
    QByteArray ServerHost() const;

    // Connecting.
    void ConnectSession();
    std::unique_ptr<ControlConnection> MakeControlConnection();
    // Configures a new socket's tunnel from the "Socks" settings, as every connection does.
    void ApplySocksSettings(ProxyTunnel& tunnel) const;
    void RetryOrGiveUp(const RetryTexts& texts);
    void WaitThenRetry(const char* waitText);
    void HandleProxyFailure();
    void OnConnectTimeout();

    // Replies.
    bool ReadControlBytes();
    qsizetype ApplyAwaitingRules(const ReplyScan& scan, QByteArray& statusText);
    void StoreServerMessage(const ReplyScan& scan);
    bool RunLogon(const ReplyScan& scan);
    bool AskForNewLogin();
    void OnLoggedIn();
    void HandleCommandReply(FtpCommand& command);
    void RunCommandAction(CommandAction action, FtpCommand& command, bool succeeded);
    void FinishReply(qsizetype consumed, bool dataCommandRefused);

    // Download jobs.
    bool StartDownloadJob(const QString& localDirectory);
    std::unique_ptr<DownloadEntry> MakeDownloadEntry(const QByteArray& remotePath, const QByteArray& name,
                                                     qint64 size, const QString& localDirectory,
                                                     bool isDirectory = false, bool isLink = false,
                                                     int depth = 0);
    // A task of a job, with the session's host, user, password, port and REST support.
    std::unique_ptr<TransferTask> MakeSessionTask() const;
    // Why the entry cannot be downloaded (its name, its depth, its local path), or nothing.
    QByteArray UnsafeEntryReason(const DownloadEntry& entry) const;
    // Skips the entry when it cannot be downloaded: logged, recorded, its row removed.
    bool SkipUnsafeEntry(const DownloadEntry& entry);
    // Directories of a job: listed, checked by the server's PWD, expanded into their contents.
    void StartJobWalk();
    bool JobListsDirectory() const;
    void ListJobDirectory(const QByteArray& remotePath, bool isLink);
    void OnJobDirectoryRefused(FtpCommand& command, bool changeRefused);
    void CheckJobDirectory();
    // How the listing of the job's directory went; the walk is ready for the next one.
    DirectoryOutcome EndJobListing();
    void EndJobDirectory();
    void ExpandJobDirectory(const DownloadEntry& entry);
    void QueueDownloadByPath(bool found, const FtpCommand& size);
    void ContinueJob();
    void DownloadStep(bool continuing);
    // Starts the transfer of the entry; false when the entry is done with at once (skipped, ignored,
    // the job cancelled or the session closed).
    bool StartDownloadOf(DownloadEntry& entry);
    void QueueDataConnectionCommand(CommandSequence& sequence);
    void ReceiveFileData();
    // Writes a block read from the data connection to the local file; false when the file failed.
    bool WriteReceivedBytes(TransferTask& task, const char* received, qint64 count);
    void FailLocally(const QByteArray& reason);
    // Restarts timer 14 when "UseTimeout" is on: every block moved keeps the transfer alive.
    void RestartDownloadTimer();
    // Ends the current file: a success when the final reply was one and this side did not fail.
    void CompleteTransfer(int replyCode);
    void CompleteDownload(int replyCode);
    // What every file transfer does at its end: the file closed, the row removed, the speed logged.
    void EndFileTransfer(TransferTask& task, bool succeeded);
    // Sends a file's transfer: TYPE (I for a resume, else by the transfer type rule), PASV or PORT,
    // REST when resuming, and the verb ("RETR " or "STOR ") with the remote path. Returns the TYPE.
    QByteArray SendTransferCommands(const TransferTask& task, const QByteArray& verb);
    // "TYPE A" or "TYPE I" for a remote path by the transfer type settings.
    QByteArray TransferTypeFor(const QByteArray& remotePath) const;
    // The conflict question's answer (or the remembered one); nothing when the job was cancelled or
    // the session ended meanwhile.
    std::optional<ConflictChoice> DecideConflict(const ConflictQuestion& question);
    // Clears whichever job runs: entries, tasks, the job flags.
    void ResetJob();
    QByteArray JobBaseDirectory() const;
    // Ends the running job: its rows and entries go, ABOR stops a transfer the server is making,
    // and the directory is listed again.
    void AbortJob();
    void FinishJob();
    void FinishDownloadJob();

    // Upload jobs.
    std::unique_ptr<UploadEntry> MakeUploadEntry(const QFileInfo& local, const QByteArray& remoteDirectory);
    void UploadStep(bool continuing);
    // Skips an entry that cannot be uploaded (a name no command can carry, a broken link) or a
    // directory the job has sent already: logged, recorded when it failed, its row removed.
    bool SkipUnsafeUpload(const UploadEntry& entry);
    void ExpandUploadDirectory(const UploadEntry& entry);
    // Starts the transfer of the file; false when it is done with at once (ignored, the job
    // cancelled or the session closed).
    bool StartUploadOf(UploadEntry& entry);
    // The data connection of an upload is there / the server has taken the STOR: once both have
    // happened, the send pump runs.
    void OnUploadDataReady();
    // Replies that concern an upload's current entry: MKD made its directory; SIZE found its file.
    void MarkDirectoryCreated();
    void TakeRemoteSize(qint64 size);
    void OnUploadStarted();
    void ScheduleSendPump();
    void SendFileData();
    bool ReadUploadBlock(TransferTask& task, UploadJob& job);
    void FinishSending();
    void FailUploadLocally(const QByteArray& reason);
    void RestartUploadTimer();
    void CompleteUpload(int replyCode);
    void FinishUploadJob();

    // Remote operations and the delete job.
    bool MayStartOperation() const;
    // Whether the listing is fetched again once an operation's commands have been answered.
    enum class RefreshAfter { Yes, No };
    bool SendOperation(const QList<QByteArray>& commands, RefreshAfter refresh = RefreshAfter::Yes);
    void TakeNewPassword(const FtpCommand& command);
    void DeleteStep(bool continuing);
    // The listing of the delete job's current directory has ended: its contents, if it came whole,
    // are queued before it.
    void QueueDirectoryContents();
    // After the last command of a sequence: the job goes on, or the engine goes idle.
    void SequenceFinished();

    // Keeping the session in step: the keep-alive, operations waiting for its reply, replies still
    // owed to commands given up.
    void OnKeepAlive();
    // While an idle command's reply is awaited, an operation asked for waits for it and then starts:
    // true when it was put off so.
    bool DeferBehindKeepAlive(std::function<bool()> start);
    bool RunDeferredOperation();
    // Replies that arrive while a reply is owed belong to the command given up: logged and dropped.
    bool DiscardOwedReplies(const ReplyScan& scan);
    void StopOwedReplyWait();
    // The directory the pane shows and the server's working directory agree again after an abort.
    void RestoreShownDirectory(bool directoryMayHaveChanged);
    // Abort of a single operation: forgotten here; the server's answer to it is dropped when it comes.
    void AbortSingleOperation();
    void StartReplyTimer();
    // Timer 10, when "KeepConnection" is on.
    void StartKeepAlive();
    // Appends the TYPE command unless the server is known to be in that type already.
    void AppendTypeCommand(CommandSequence& sequence, const QByteArray& type);
    void StopOperationTimers();

    // Sending and idling.
    std::unique_ptr<FtpCommand> SendNextCommand(CommandSequence& sequence);
    void SendNextOfCurrentSequence();
    void MarkBusy();
    void GoIdle();
    void RecordFailedCommand(const FtpCommand& command);

    // Helpers.
    void WriteBlankLine();
    QByteArray Stamp() const;
    // A setting as the engine reads it, at the moment of use: its default from the settings table
    // when absent, corrected as the table says.
    int Setting(const SettingKey& key) const { return settings_.Number(key); }
    // The bytes of one socket read or write by a setting in kilobytes ("ReceiveSize", "SendSize",
    // "ControlSize"; the table's correction keeps it within 1 to 8).
    qint64 ChunkBytes(const SettingKey& key) const { return qint64(Setting(key)) * 1024; }
    void RetireControlConnection();
    void Retire(std::unique_ptr<AsyncSocket> socket);
    void ClearRetiredLater();
    bool Ask(const std::function<bool()>& question);

    EngineView& view_;
    SettingsStore settings_;
    qsizetype listingItemLimit_ = kMaxListingItems;
    std::function<QDateTime()> clock_;

    std::unique_ptr<FtpSession> session_;
    std::unique_ptr<FtpSession> lastSession_;
    std::unique_ptr<ControlConnection> control_;
    std::unique_ptr<DataConnection> data_;
    std::unique_ptr<ListeningSocket> listener_;
    ListingItems items_;
    std::unique_ptr<FtpCommand> currentCommand_;
    std::unique_ptr<CommandSequence> currentSequence_;
    std::unique_ptr<DownloadJob> download_;
    std::unique_ptr<UploadJob> upload_;
    std::unique_ptr<DeleteJob> deletion_;
    JobWalk walk_;                            // the directories a download or delete job goes through
    TransferTask* currentTransfer_ = nullptr; // the task of the job's current entry, while it moves
    TransferMeter meter_;

    // Counts sessions, so code that asked a question can tell that its session ended meanwhile.
    quint64 sessionSerial_ = 0;
    // Counts control connections, so code that asked a question can tell that its connection was
    // replaced meanwhile.
    quint64 controlSerial_ = 0;
    // A connection retry came due while a question was open; it starts once the question is answered.
    bool retryAfterQuestion_ = false;
    // While a question is open, control-connection input waits in the socket.
    bool inQuestion_ = false;

    std::function<quint32()> random_;
    bool keepAliveInFlight_ = false; // the sequence running was started by the keep-alive
    std::function<bool()> deferred_; // an operation waiting for the keep-alive's reply
    QByteArray shownDirectory_;      // the directory whose listing the pane shows
    int owedReplyWaitMs_ = 5000;
    qint64 secondMs_ = 1000;
    qint64 minuteMs_ = 60000;
    QTimer owedReplyTimer_;                         // the longest wait for a reply owed to a command given up
    QTimer keepAliveTimer_;                         // 10
    QTimer connectTimer_;                           // 11
    QTimer replyTimer_;                             // 12
    QTimer uploadTimer_;                            // 13: no room to send for "FileUploadTimeout" minutes
    QTimer downloadTimer_;                          // 14: no data for "FileDownloadTimeout" minutes
    std::unique_ptr<QTemporaryDir> fetchDirectory_; // where View and Run fetch their files
    QTimer retryWaitTimer_;                         // the pause before the next connection attempt
    QTimer retiredTimer_; // a zero-time timer: unlike a queued call, starting it wakes nothing
    std::vector<char> controlReadBuffer_; // kept between reads of the control connection
    // Connections closed inside their own hooks are destroyed on the next turn of the loop.
    std::vector<std::unique_ptr<AsyncSocket>> retired_;
    // The same for listeners closed inside their own announcement of a connection.
    std::vector<std::unique_ptr<ListeningSocket>> retiredListeners_;
    QObject context_;
};

} // namespace tessaly
