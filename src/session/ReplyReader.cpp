#include "session/ReplyReader.h"

namespace tessaly {

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The code of a line that starts with three digits followed by the given separator, or 0.
int CodeBefore(const QByteArray& line, char separator) {
    if (line.size() < 4 || line[3] != separator || !IsDigit(line[0]) || !IsDigit(line[1]) ||
        !IsDigit(line[2])) {
        return 0;
    }
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

} // namespace

int FinalLineCode(const QByteArray& line) {
    const int code = CodeBefore(line, ' ');
    return code > 100 ? code : 0;
}

ReplyScan ReplyReader::Scan() const {
    ReplyScan scan;
    QList<QByteArray> pending; // lines of the reply being collected
    int multiLineCode = 0;     // the code of an open multi-line reply
    const qsizetype size = buffer_.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && !IsLineEnd(buffer_[end])) {
            ++end;
        }
        if (end == size) {
            break; // the line end has not arrived
        }
        qsizetype next = end;
        while (next < size && IsLineEnd(buffer_[next])) {
            ++next;
        }
        if (end > start) {
            QByteArray line = buffer_.mid(start, end - start);
            const int code = FinalLineCode(line);
            bool ends = false;
            if (multiLineCode != 0) {
                ends = code == multiLineCode;
            } else if (code != 0) {
                ends = true;
            } else {
                multiLineCode = CodeBefore(line, '-');
            }
            pending.append(std::move(line));
            if (ends) {
                scan.lines.append(pending);
                pending.clear();
                ++scan.finalCount;
                scan.lastCode = code;
                scan.consumed = next;
                multiLineCode = 0;
            }
        }
        start = next;
    }
    return scan;
}

bool ReplyReader::IsOverlong() const {
    return buffer_.size() > kMaxPendingBytes && Scan().finalCount == 0;
}

} // namespace tessaly
