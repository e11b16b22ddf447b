// tessaly-cli's side of the transfer queue: the answers to the conflict question and the progress
// line on a terminal.
#include "app/cli/TerminalView.h"

#include "transfer/TransferTask.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly {
namespace {

// A TerminalView writing into memory, its clock in the test's hand.
class CapturedView {
public:
    explicit CapturedView(bool onTerminal) {
        stream_ = open_memstream(&buffer_, &size_);
        view_ = std::make_unique<TerminalView>(onTerminal, stream_);
        view_->clockMs = [this] { return now; };
    }
    ~CapturedView() {
        view_.reset();
        std::fclose(stream_);
        std::free(buffer_);
    }
    CapturedView(const CapturedView&) = delete;
    CapturedView& operator=(const CapturedView&) = delete;

    TerminalView& view() { return *view_; }
    // What was written since the last call.
    QByteArray Take() {
        std::fflush(stream_);
        const QByteArray all(buffer_, static_cast<qsizetype>(size_));
        const QByteArray fresh = all.mid(taken_);
        taken_ = all.size();
        return fresh;
    }

    qint64 now = 0;

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* stream_ = nullptr;
    qsizetype taken_ = 0;
    std::unique_ptr<TerminalView> view_;
};

ConflictQuestion Question(bool upload, qint64 localSize, qint64 remoteSize, bool rest) {
    ConflictQuestion question;
    question.upload = upload;
    question.localName = QStringLiteral("/home/alice/dl/a.zip");
    question.remoteName = "ftp://ftp.example.org/pub/a.zip";
    question.localSizeValue = localSize;
    question.remoteSizeValue = remoteSize;
    question.resumePossible = rest;
    return question;
}

TEST(TerminalConflict, TheActionAnswersAndTheErrorStreamSaysWhat) {
    const auto download = [](qint64 local, qint64 remote, bool rest = true) {
        return Question(false, local, remote, rest);
    };
    const auto upload = [](qint64 local, qint64 remote, bool rest = true) {
        return Question(true, local, remote, rest);
    };
    struct Case {
        std::optional<ConflictChoice> action;
        ConflictQuestion question;
        bool cancelled;
        ConflictChoice choice;
        QByteArray message;
    };
    using C = ConflictChoice;
    const std::vector<Case> cases = {
        {std::nullopt, download(400, 1000), true, C::Ignore,
         "tessaly-cli: the local file /home/alice/dl/a.zip exists; the transfer job stops here and nothing "
         "is "
         "overwritten.\ntessaly-cli: to go on instead, choose --on-conflict overwrite, resume, rename or "
         "skip\n"},
        {C::Overwrite, download(400, 1000), false, C::Overwrite,
         "tessaly-cli: the local file /home/alice/dl/a.zip exists: overwritten (--on-conflict overwrite)\n"},
        {C::Resume, download(400, 1000), false, C::Resume,
         "tessaly-cli: the local file /home/alice/dl/a.zip exists: resumed after its 400 bytes "
         "(--on-conflict "
         "resume)\n"},
        {C::Resume, upload(1000, 400), false, C::Resume,
         "tessaly-cli: the remote file ftp://ftp.example.org/pub/a.zip exists: resumed after its 400 bytes "
         "(--on-conflict resume)\n"},
        {C::Resume, download(400, 1000, false), false, C::Overwrite,
         "tessaly-cli: the local file /home/alice/dl/a.zip exists and cannot be resumed (the server does not "
         "support REST): overwritten instead\n"},
        {C::Resume, download(1000, 1000), false, C::Overwrite,
         "tessaly-cli: the local file /home/alice/dl/a.zip exists and cannot be resumed (it is as long as "
         "the "
         "source already): overwritten instead\n"},
        {C::Resume, upload(1000, 2000), false, C::Overwrite,
         "tessaly-cli: the remote file ftp://ftp.example.org/pub/a.zip exists and cannot be resumed (it is "
         "longer than the source): overwritten instead\n"},
        {C::Rename, upload(1000, 400), false, C::Rename,
         "tessaly-cli: the remote file ftp://ftp.example.org/pub/a.zip exists: kept, the file is written "
         "beside it as Temp_name_of_a.zip (--on-conflict rename)\n"},
        {C::Ignore, download(1000, 1000), false, C::Ignore,
         "tessaly-cli: the local file /home/alice/dl/a.zip exists: skipped (--on-conflict skip)\n"},
    };
    for (const Case& c : cases) {
        CapturedView out(false);
        out.view().SetConflictAction(c.action);
        const ConflictAnswer answer = out.view().AskConflict(c.question);
        EXPECT_EQ(answer.cancelled, c.cancelled) << c.message.toStdString();
        if (!c.cancelled) {
            EXPECT_EQ(answer.choice, c.choice) << c.message.toStdString();
        }
        EXPECT_FALSE(answer.remember) << "each file is judged by itself";
        EXPECT_EQ(out.Take(), c.message);
    }

    // A name from the server cannot drive the terminal.
    CapturedView out(true);
    ConflictQuestion question = upload(1000, 400);
    question.remoteName = "ftp://h/\x1b]0;x\x07.zip";
    out.view().SetConflictAction(C::Ignore);
    out.view().AskConflict(question);
    EXPECT_EQ(out.Take(), "tessaly-cli: the remote file ftp://h/\\x1B]0;x\\x07.zip exists: skipped "
                          "(--on-conflict skip)\n");
}

TEST(TerminalProgress, OneLineRedrawnInPlaceAtMostFourTimesASecond) {
    for (const bool onTerminal : {true, false}) {
        CapturedView out(onTerminal);
        TerminalView& view = out.view();
        TransferTask queued;
        queued.displayName = "queued.txt";
        TransferTask running;
        running.displayName = "big.bin";
        view.AddTaskRow(queued, true);
        view.AddTaskRow(running, false); // at the top: row 0

        out.now = 1000;
        view.ShowTaskProgress(0, 307200, 0);
        const QByteArray first = "\rbig.bin  0 of 307200 bytes  0%";
        EXPECT_EQ(out.Take(), onTerminal ? first : QByteArray());

        // Chunks in quick succession draw nothing until the interval has passed.
        for (qint64 step = 1; step < TerminalView::kProgressIntervalMs; step += 10) {
            out.now = 1000 + step;
            view.SetTaskProgress(0, step * 8);
            view.SetTransferStatus({}, {});
        }
        EXPECT_EQ(out.Take(), QByteArray());
        out.now = 1000 + TerminalView::kProgressIntervalMs;
        view.SetTaskProgress(0, 3072);
        EXPECT_EQ(out.Take(), onTerminal ? QByteArray("\rbig.bin  3072 of 307200 bytes  1%") : QByteArray());

        // With whole seconds behind it the line has the speed and the time left.
        out.now = 3000;
        view.SetTaskProgress(0, 204800);
        const QByteArray later = "\rbig.bin  204800 of 307200 bytes  66%  Transfer speed: 100.00 kb/s  "
                                 "Left: 00:00:01";
        EXPECT_EQ(out.Take(), onTerminal ? later : QByteArray());

        // A log line goes above the progress line, which is drawn again below it.
        view.AppendLog("STATUS:>  still here\r\n", LogColour{0, 0, 255});
        const QByteArray blank = '\r' + QByteArray(later.size() - 1, ' ') + '\r';
        EXPECT_EQ(out.Take(), onTerminal ? blank + "STATUS:>  still here\n" + later
                                         : QByteArray("STATUS:>  still here\n"));

        // The row goes: the line shows where the transfer ended and is finished with a line break.
        out.now = 3100;
        view.SetTaskProgress(0, 307200);
        view.RemoveTaskRow(0);
        EXPECT_EQ(out.Take(), onTerminal
                                  ? QByteArray("\rbig.bin  307200 of 307200 bytes  100%  Transfer speed: "
                                               "150.00 kb/s  Left: 00:00:00\n")
                                  : QByteArray());
        // The next row's line starts afresh and a cancelled job ends it too.
        view.ShowTaskProgress(0, 10000, 4000);
        view.ClearTasks();
        EXPECT_EQ(out.Take(), onTerminal ? QByteArray("\rqueued.txt  4000 of 10000 bytes  40%\r"
                                                      "queued.txt  4000 of 10000 bytes  40%\n")
                                         : QByteArray());
        view.SetTaskProgress(0, 5000);
        view.RemoveTaskRow(0);
        EXPECT_EQ(out.Take(), QByteArray()) << "nothing runs";
    }
}

TEST(TerminalProgress, AShorterLineBlanksTheRestOfTheLongerOne) {
    CapturedView out(true);
    TransferTask task;
    task.displayName = "x";
    out.view().AddTaskRow(task, true);
    out.view().ShowTaskProgress(0, 100000, 0);
    out.now = 2000;
    out.view().SetTaskProgress(0, 51200); // 25 kb/s, with a time left
    out.Take();
    out.now = 60000;
    out.view().SetTaskProgress(0, 51200); // under 1 kb/s: no time left, a shorter line
    const QByteArray shorter = "\rx  51200 of 100000 bytes  51%  Transfer speed: 0.00 kb/s";
    const QByteArray longer = "x  51200 of 100000 bytes  51%  Transfer speed: 25.00 kb/s  Left: 00:00:01";
    EXPECT_EQ(out.Take(), shorter + QByteArray(longer.size() - (shorter.size() - 1), ' '));
}

} // namespace
} // namespace tessaly
