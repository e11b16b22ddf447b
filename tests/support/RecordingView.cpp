#include "support/RecordingView.h"

namespace tessaly::test {

void RecordingView::AppendLog(const QByteArray& text, LogColour colour) {
    log_ += text;
    const qsizetype lineEnds = text.count("\r\n");
    for (qsizetype i = 0; i < qMax<qsizetype>(lineEnds, 1); ++i) {
        colours.append(colour);
    }
}

QList<QByteArray> RecordingView::lines() const {
    QList<QByteArray> out = log_.split('\n');
    if (!out.isEmpty() && out.last().isEmpty()) {
        out.removeLast();
    }
    for (QByteArray& line : out) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return out;
}

QList<QByteArray> RecordingView::texts() const {
    QList<QByteArray> out;
    for (const QByteArray& line : lines()) {
        const qsizetype marker = line.indexOf(":>  ");
        if (marker >= 0 && marker <= 7) {
            out.append(line.mid(marker + 4));
        } else {
            out.append(line.startsWith("              ") ? line.mid(14) : line);
        }
    }
    return out;
}

QList<QByteArray> RecordingView::shownNames() const {
    QList<QByteArray> names;
    if (!listings.isEmpty()) {
        for (const RemoteItem& item : listings.last().directories) {
            names.append(item.name().toByteArray());
        }
        for (const RemoteItem& item : listings.last().files) {
            names.append(item.name().toByteArray());
        }
    }
    return names;
}

std::string RecordingView::joined() const {
    return lines().join('\n').toStdString();
}

bool RecordingView::AskLogin(LoginRequest& request) {
    loginRequests.append(request);
    if (whileAskingLogin) {
        whileAskingLogin();
    }
    if (loginAnswers.empty()) {
        return false;
    }
    const std::optional<LoginAnswer> answer = loginAnswers.front();
    loginAnswers.pop_front();
    if (!answer) {
        return false;
    }
    request.userName = answer->userName;
    request.password = answer->password;
    return true;
}

void RecordingView::ShowFailedCommands(const std::vector<FailureRecord>& records) {
    failureReports.append(records);
}

void RecordingView::AddTaskRow(const TransferTask& task, bool append) {
    TaskRow row;
    row.task = &task;
    row.cells[int(TaskColumn::Local)] = task.localPath;
    if (!task.directory) {
        row.cells[int(TaskColumn::Size)] = QString::number(task.totalSize);
        row.cells[int(TaskColumn::Transferring)] = QStringLiteral("0");
    }
    row.cells[int(TaskColumn::Remote)] = QString::fromUtf8(task.RemoteText());
    if (append) {
        taskRows.append(row);
    } else {
        taskRows.prepend(row);
    }
}

void RecordingView::RemoveTaskRow(int row) {
    if (row >= 0 && row < taskRows.size()) {
        taskRows.removeAt(row);
    }
}

void RecordingView::SetTaskCell(int row, TaskColumn column, const QString& text) {
    if (row >= 0 && row < taskRows.size()) {
        taskRows[row].cells[int(column)] = text;
    }
}

void RecordingView::ShowTaskProgress(int row, qint64 total, qint64 position) {
    if (row >= 0 && row < taskRows.size()) {
        taskRows[row].progressShown = true;
        taskRows[row].progressTotal = total;
        taskRows[row].progress = position;
    }
}

void RecordingView::SetTaskProgress(int row, qint64 position) {
    if (row >= 0 && row < taskRows.size()) {
        taskRows[row].progress = position;
        taskRows[row].cells[int(TaskColumn::Transferring)] = QString::number(position);
    }
}

ConflictAnswer RecordingView::AskConflict(const ConflictQuestion& question) {
    conflictQuestions.append(question);
    if (whileAskingConflict) {
        whileAskingConflict();
    }
    if (conflictAnswers.empty()) {
        return {};
    }
    const ConflictAnswer answer = conflictAnswers.front();
    conflictAnswers.pop_front();
    return answer;
}

} // namespace tessaly::test

QT_BEGIN_NAMESPACE
void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}
QT_END_NAMESPACE
