// The engine's side of the transfer queue: opening a task's local file, the conflict question's
// proposal, and the figures of the running transfer.
#include "support/RecordingView.h"
#include "transfer/ConflictQuestion.h"
#include "transfer/TransferMeter.h"
#include "transfer/TransferTask.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Each case opens a file holding "0123456789" (or none), writes "abc" (download) or reads what is
// left (upload), and checks the file's bytes or what was read.
TEST(TransferTask, OpenTransferFileFollowsTheResumeAndOverwriteRules) {
    struct Case {
        const char* name;
        bool upload;
        bool fileThere;
        bool exists;
        bool overwrite;
        qint64 startOffset;
        bool restSupported;
        const char* expected; // download: the file afterwards; upload: the bytes read
    };
    const Case cases[] = {
        {"new download", false, false, false, false, 0, true, "abc"},
        {"overwrite", false, true, true, true, 0, true, "abc"},
        {"resume", false, true, true, false, 10, true, "0123456789abc"},
        // Without REST the server sends the whole file: it is written afresh, never over the old
        // bytes with their tail left behind.
        {"resume without REST", false, true, true, false, 10, false, "abc"},
        {"exists, nothing to resume", false, true, true, false, 0, true, "abc"},
        {"upload", true, true, false, false, 0, true, "0123456789"},
        {"upload resumed", true, true, true, false, 4, true, "456789"},
        {"upload resumed without REST", true, true, true, false, 4, false, "0123456789"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        TransferTask task;
        task.localPath = dir.filePath(QStringLiteral("file.bin"));
        if (c.fileThere) {
            WriteAll(task.localPath, "0123456789");
        }
        task.upload = c.upload;
        task.exists = c.exists;
        task.overwrite = c.overwrite;
        task.startOffset = c.startOffset;
        task.restSupported = c.restSupported;
        ASSERT_TRUE(OpenTransferFile(task));
        ASSERT_TRUE(OpenTransferFile(task)); // open already: nothing changes
        if (c.upload) {
            EXPECT_EQ(task.localFile->readAll(), c.expected);
        } else {
            task.localFile->write("abc");
            task.localFile.reset();
            EXPECT_EQ(ReadAll(task.localPath), c.expected);
        }
    }
}

TEST(TransferTask, AFileThatCannotBeOpenedLeavesTheTaskWithout) {
    QTemporaryDir dir;
    TransferTask download;
    download.localPath = dir.filePath(QStringLiteral("missing-dir/file.bin"));
    EXPECT_FALSE(OpenTransferFile(download));
    EXPECT_EQ(download.localFile, nullptr);
    TransferTask upload;
    upload.upload = true;
    upload.localPath = dir.filePath(QStringLiteral("absent.bin"));
    EXPECT_FALSE(OpenTransferFile(upload));
    EXPECT_EQ(upload.localFile, nullptr);
}

TEST(ConflictQuestion, TheProposedChoiceAndWhetherResumeCanBePressed) {
    struct Case {
        const char* name;
        bool upload;
        qint64 local;
        qint64 remote;
        bool rest;
        ConflictChoice choice;
        bool resumeEnabled;
    };
    using C = ConflictChoice;
    const Case cases[] = {
        {"equal sizes", false, 100, 100, true, C::Ignore, false},
        {"different sizes", false, 40, 100, true, C::Resume, true},
        {"no REST, equal", false, 100, 100, false, C::Overwrite, false},
        {"no REST, different", false, 40, 100, false, C::Overwrite, false},
        {"download target larger", false, 150, 100, true, C::Overwrite, false},
        {"upload, remote part", true, 100, 40, true, C::Resume, true},
        {"upload target larger", true, 40, 100, true, C::Overwrite, false},
    };
    for (const Case& c : cases) {
        ConflictQuestion question;
        question.upload = c.upload;
        question.localSizeValue = c.local;
        question.remoteSizeValue = c.remote;
        question.resumePossible = c.rest;
        const ConflictDefault proposed = DefaultConflictChoice(question);
        EXPECT_EQ(proposed.choice, c.choice) << c.name;
        EXPECT_EQ(proposed.resumeEnabled, c.resumeEnabled) << c.name;
    }
    EXPECT_EQ(ConflictSizeText(5368709120), u"5368709120 byte");
}

TEST(TransferMeter, SpeedTimeLeftAndElapseTexts) {
    EXPECT_EQ(SpeedText(81920, 8), u"Transfer speed: 10.00 kb/s");
    EXPECT_EQ(TimeLeftText(102400, 81920, 8), u"Left: 00:00:10");
    EXPECT_EQ(SpeedText(512000, 100), u"Transfer speed: 5.00 kb/s");
    EXPECT_EQ(TimeLeftText(200000, 512000, 100), u"Left: 00:00:39");
    EXPECT_EQ(SpeedText(5000, 0), std::nullopt); // less than a second: nothing yet
    EXPECT_EQ(SpeedText(1000, 2), u"Transfer speed: 0.00 kb/s");
    EXPECT_EQ(TimeLeftText(1000, 1000, 2), std::nullopt); // a speed of 0 gives no estimate
    EXPECT_EQ(TimeLeftText(qint64(360000) * 1024, 1024, 1), u"Left: 100:00:00");
    EXPECT_EQ(ElapseText(0), u"00-00-00");
    EXPECT_EQ(ElapseText(3725), u"01-02-05");
    EXPECT_EQ(ElapseText(360000), u"100-00-00");
}

TEST(TransferMeter, StartsTheBarAtTheResumePointAndUpdatesEverySecond) {
    test::RecordingView view;
    TransferTask task;
    task.totalSize = 10000;
    task.startOffset = 4000;
    task.localPath = QStringLiteral("/tmp/file.bin");
    view.AddTaskRow(task, true);
    TransferMeter meter(view);
    meter.Start(task);
    ASSERT_EQ(view.taskRows.size(), 1);
    EXPECT_TRUE(view.taskRows[0].progressShown);
    EXPECT_EQ(view.taskRows[0].progressTotal, 10000);
    EXPECT_EQ(view.taskRows[0].progress, 4000);
    EXPECT_EQ(task.transferred, 4000);
    EXPECT_EQ(view.taskRows[0].cells[int(TaskColumn::Elapse)], u"00-00-00");
    EXPECT_TRUE(meter.Timer().isActive());
    EXPECT_EQ(meter.Timer().interval(), 1000);

    meter.Tick(); // under a second: the cell only
    EXPECT_TRUE(view.speedText.isEmpty());
    meter.Stop();
    EXPECT_FALSE(meter.Timer().isActive());
    EXPECT_EQ(meter.Task(), nullptr);
}

} // namespace
} // namespace tessaly
