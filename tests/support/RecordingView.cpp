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

} // namespace tessaly::test

QT_BEGIN_NAMESPACE
void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}
QT_END_NAMESPACE
