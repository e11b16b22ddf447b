#include "app/cli/TerminalView.h"

#include "app/cli/EchoOff.h"
#include "app/cli/InterruptSignals.h"
#include "transfer/TransferMeter.h"

#include <array>
#include <iostream>
#include <string>
#include <unistd.h>

namespace tessaly {

namespace {

// The length of the valid UTF-8 sequence that starts at text[i], a byte from 0x80 up; 0 when there is
// none there (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF, cut short).
qsizetype Utf8SequenceLength(QByteArrayView text, qsizetype i) {
    const auto at = [text](qsizetype k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    qsizetype length = 0;
    unsigned char low = 0x80; // the range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() - i < length || at(i + 1) < low || at(i + 1) > high) {
        return 0;
    }
    for (qsizetype k = 2; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

void AppendHexEscape(QByteArray& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::array<char, 4> escaped = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    out.append(escaped.data(), escaped.size());
}

std::string ReadLine() {
    std::string line;
    std::getline(std::cin, line);
    return line;
}

} // namespace

void AppendEscapedForTerminal(QByteArray& out, QByteArrayView text) {
    qsizetype plainFrom = 0; // bytes from here to i go out as they are
    qsizetype i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        qsizetype keep = 0;
        if (byte >= 0x20 && byte < 0x7F) {
            keep = byte == '\\' ? 0 : 1;
        } else if (byte >= 0x80) {
            const qsizetype length = Utf8SequenceLength(text, i);
            const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            keep = length > 0 ? (c1 ? 0 : length) : (byte >= 0xA0 ? 1 : 0);
        }
        if (keep > 0) {
            i += keep;
            continue;
        }
        out.append(text.sliced(plainFrom, i - plainFrom));
        if (byte == '\\') {
            out.append("\\\\");
        } else if (byte == 0xC2 && Utf8SequenceLength(text, i) == 2) {
            AppendHexEscape(out, byte);
            AppendHexEscape(out, static_cast<unsigned char>(text[++i]));
        } else {
            AppendHexEscape(out, byte);
        }
        plainFrom = ++i;
    }
    out.append(text.sliced(plainFrom));
}

QByteArray EscapeForTerminal(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    AppendEscapedForTerminal(out, text);
    return out;
}

void WriteOutput(QByteArrayView bytes) {
    std::fflush(stderr);
    std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

TerminalView::TerminalView(bool errorsOnTerminal, std::FILE* errors)
    : errors_(errors), errorsOnTerminal_(errorsOnTerminal) {
    clock_.start();
    clockMs = [this] { return clock_.elapsed(); };
}

void TerminalView::Write(const QByteArray& bytes) const {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), errors_);
    // A pipe or file takes the lines of a turn of the loop with one write: the program flushes the
    // stream before the loop waits and before it writes to standard output.
    if (errorsOnTerminal_) {
        std::fflush(errors_);
    }
}

void TerminalView::AppendShown(QByteArray& out, QByteArrayView text) const {
    if (errorsOnTerminal_) {
        AppendEscapedForTerminal(out, text);
    } else {
        out.append(text);
    }
}

void TerminalView::AppendLog(const QByteArray& text, LogColour /*colour*/) {
    // The engine ends its lines with CR LF; LF alone ends them here.
    QByteArray out;
    out.reserve(text.size());
    const QByteArrayView all(text);
    qsizetype from = 0;
    while (from < all.size()) {
        const qsizetype lineBreak = all.indexOf('\n', from);
        const qsizetype end = lineBreak < 0 ? all.size() : lineBreak;
        const qsizetype contentEnd = lineBreak > from && all[lineBreak - 1] == '\r' ? lineBreak - 1 : end;
        AppendShown(out, all.sliced(from, contentEnd - from));
        if (lineBreak >= 0) {
            out.append('\n');
        }
        from = end + 1;
    }
    WriteMessage(out);
}

bool TerminalView::AskLogin(LoginRequest& request) {
    if (::isatty(STDIN_FILENO) == 0) {
        return false;
    }
    QByteArray question = "Login to ";
    AppendShown(question, request.host);
    question += "\nUser name [";
    AppendShown(question, request.userName);
    question += "]: ";
    // Ctrl+C or SIGTERM at the question ends the program at once, instead of after the next Enter;
    // in place before the question shows, so a signal that answers it at once is not left waiting
    // for the event loop while the read blocks.
    const DefaultInterruptActions endingSignals;
    Write(question);
    std::fflush(errors_); // a question is shown before the answer is awaited, wherever it goes
    const std::string user = ReadLine();
    if (!std::cin) {
        return false;
    }
    if (!user.empty()) {
        request.userName = QByteArray::fromStdString(user);
    }
    Write("Password: ");
    std::fflush(errors_);
    {
        const EchoOff echoOff;
        request.password = QByteArray::fromStdString(ReadLine());
        if (echoOff.active()) {
            Write("\n"); // the Enter the user typed was not echoed
        }
    }
    return static_cast<bool>(std::cin) && !request.userName.isEmpty();
}

void TerminalView::ShowFailedCommands(const std::vector<FailureRecord>& records) {
    reportedFailures_ = true;
    QByteArray report = "Some commands execute failed,please see more details.\n";
    for (const FailureRecord& record : records) {
        const QByteArray prefix = record.kind == FailureRecord::Kind::Command ? "Command:>" : "         ";
        for (const QByteArray& line : record.text.split('\n')) {
            const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
            if (!trimmed.isEmpty()) {
                report += prefix;
                AppendShown(report, trimmed);
                report += '\n';
            }
        }
    }
    WriteMessage(report);
}

void TerminalView::SessionLoggedIn() {
    loggedIn_ = true;
}

void TerminalView::SessionIdle() {
    if (onIdle) {
        onIdle();
    }
}

void TerminalView::SessionClosed() {
    if (onClosed) {
        onClosed();
    }
}

namespace {

// The file's name as the progress line shows it: at most this many characters, the end kept.
constexpr qsizetype kProgressNameChars = 32;

QByteArray ProgressName(const QByteArray& name) {
    const QString text = QString::fromUtf8(name);
    if (text.size() <= kProgressNameChars) {
        return name;
    }
    return "..." + text.right(kProgressNameChars - 3).toUtf8();
}

QByteArray TargetName(const ConflictQuestion& question) {
    return question.upload ? question.remoteName : question.localName.toUtf8();
}

// What each action does to the existing file, as the error stream tells it.
QByteArray ChoiceText(ConflictChoice choice, const ConflictQuestion& question, QByteArrayView target) {
    switch (choice) {
    case ConflictChoice::Overwrite:
        return ": overwritten (--on-conflict overwrite)";
    case ConflictChoice::Resume:
        return ": resumed after its " +
               QByteArray::number(question.upload ? question.remoteSizeValue : question.localSizeValue) +
               " bytes (--on-conflict resume)";
    case ConflictChoice::Rename:
        return ": kept, the file is written beside it as Temp_name_of_" +
               target.sliced(target.lastIndexOf('/') + 1).toByteArray() + " (--on-conflict rename)";
    case ConflictChoice::Ignore:
        return ": skipped (--on-conflict skip)";
    }
    return {};
}

// Why a file cannot be resumed.
QByteArray NoResumeReason(const ConflictQuestion& question) {
    if (!question.resumePossible) {
        return "the server does not support REST";
    }
    const qint64 target = question.upload ? question.remoteSizeValue : question.localSizeValue;
    const qint64 source = question.upload ? question.localSizeValue : question.remoteSizeValue;
    return target == source ? "it is as long as the source already" : "it is longer than the source";
}

} // namespace

ConflictAnswer TerminalView::AskConflict(const ConflictQuestion& question) {
    const QByteArray target = TargetName(question);
    QByteArray message = question.upload ? "tessaly-cli: the remote file " : "tessaly-cli: the local file ";
    AppendShown(message, target);
    message += " exists";
    if (!conflictAction_) {
        message += "; the transfer job stops here and nothing is overwritten.\n"
                   "tessaly-cli: to go on instead, choose --on-conflict overwrite, resume, rename or skip\n";
        WriteMessage(message);
        return {};
    }
    ConflictChoice choice = *conflictAction_;
    if (choice == ConflictChoice::Resume && !DefaultConflictChoice(question).resumeEnabled) {
        choice = ConflictChoice::Overwrite;
        message += " and cannot be resumed (" + NoResumeReason(question) + "): overwritten instead";
    } else {
        QByteArray shownTarget;
        AppendShown(shownTarget, target);
        message += ChoiceText(choice, question, shownTarget);
    }
    WriteMessage(message + '\n');
    return {false, choice, false};
}

void TerminalView::AddTaskRow(const TransferTask& task, bool append) {
    if (append) {
        rows_.append(&task);
    } else {
        rows_.prepend(&task);
    }
}

void TerminalView::RemoveTaskRow(int row) {
    if (row == 0) {
        EndProgress();
    }
    if (row >= 0 && row < rows_.size()) {
        rows_.removeAt(row);
    }
}

void TerminalView::ClearTasks() {
    EndProgress();
    rows_.clear();
}

void TerminalView::ShowTaskProgress(int row, qint64 total, qint64 position) {
    if (row != 0 || !errorsOnTerminal_ || rows_.isEmpty()) {
        return;
    }
    progressRunning_ = true;
    progressTotal_ = total;
    progressStart_ = position;
    progressPosition_ = position;
    progressStartMs_ = clockMs();
    DrawProgress(true);
}

void TerminalView::SetTaskProgress(int row, qint64 position) {
    if (row != 0 || !progressRunning_) {
        return;
    }
    progressPosition_ = position;
    DrawProgress(false);
}

void TerminalView::SetTransferStatus(const QString&, const QString&) {
    if (progressRunning_) {
        DrawProgress(false); // the speed and time left move on also while no data comes
    }
}

void TerminalView::DrawProgress(bool force) {
    const qint64 now = clockMs();
    if (!force && now - lastDrawMs_ < kProgressIntervalMs) {
        return;
    }
    lastDrawMs_ = now;
    const qint64 seconds = (now - progressStartMs_) / 1000;
    const qint64 moved = progressPosition_ - progressStart_;
    const qint64 percent = progressTotal_ > 0 ? progressPosition_ * 100 / progressTotal_ : 100;
    QByteArray line;
    AppendShown(line, ProgressName(rows_.isEmpty() ? QByteArray() : rows_.first()->displayName));
    line += "  " + QByteArray::number(progressPosition_) + " of " + QByteArray::number(progressTotal_) +
            " bytes  " + QByteArray::number(percent) + '%';
    for (const std::optional<QString>& figure :
         {SpeedText(moved, seconds), TimeLeftText(progressTotal_ - progressPosition_, moved, seconds)}) {
        if (figure) {
            line += "  " + figure->toUtf8();
        }
    }
    const qsizetype columns = QString::fromUtf8(line).size();
    const QByteArray blanks(qMax<qsizetype>(0, progressColumns_ - columns), ' ');
    Write('\r' + line + blanks);
    progressLine_ = line;
    progressColumns_ = columns;
}

void TerminalView::EndProgress() {
    if (!progressRunning_) {
        return;
    }
    DrawProgress(true);
    Write("\n");
    progressRunning_ = false;
    progressLine_.clear();
    progressColumns_ = 0;
}

void TerminalView::WriteMessage(const QByteArray& bytes) {
    if (!progressRunning_) {
        Write(bytes);
        return;
    }
    // Blank the progress line, write the message where it stood, and draw the line again below.
    Write('\r' + QByteArray(progressColumns_, ' ') + '\r' + bytes + '\r' + progressLine_);
}

} // namespace tessaly
