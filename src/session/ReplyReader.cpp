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

void ReplyReader::Append(const char* data, qsizetype length) {
    buffer_.append(data, length);
    ScanNewBytes();
}

void ReplyReader::ScanNewBytes() {
    const qsizetype size = buffer_.size();
    const char* bytes = buffer_.constData();
    while (searched_ < size) {
        qsizetype end = searched_;
        while (end < size && !IsLineEnd(bytes[end])) {
            ++end;
        }
        if (end == size) {
            searched_ = size; // the line end has not arrived
            return;
        }
        qsizetype next = end;
        while (next < size && IsLineEnd(bytes[next])) {
            ++next;
        }
        if (end > lineStart_) {
            TakeLine(lineStart_, end, next);
        }
        lineStart_ = next;
        searched_ = next;
    }
}

void ReplyReader::TakeLine(qsizetype start, qsizetype end, qsizetype next) {
    QByteArray line = buffer_.mid(start, end - start);
    const int code = FinalLineCode(line);
    bool ends = false;
    if (multiLineCode_ != 0) {
        ends = code == multiLineCode_;
    } else if (code != 0) {
        ends = true;
    } else {
        multiLineCode_ = CodeBefore(line, '-');
    }
    pending_.append(std::move(line));
    if (ends) {
        scan_.lines.append(pending_);
        pending_.clear();
        ++scan_.finalCount;
        if (code >= 200) {
            ++scan_.completionCount;
        }
        scan_.lastCode = code;
        scan_.consumed = next;
        multiLineCode_ = 0;
    }
}

void ReplyReader::Consume(qsizetype count) {
    count = qMin(count, buffer_.size());
    if (count <= 0) {
        return;
    }
    buffer_.remove(0, count);
    if (count == scan_.consumed) {
        // The complete replies are taken; the reply being received stays as it was.
        scan_ = {};
        lineStart_ -= count;
        searched_ -= count;
        return;
    }
    // Any other cut: what is left is looked at afresh.
    scan_ = {};
    pending_.clear();
    multiLineCode_ = 0;
    lineStart_ = 0;
    searched_ = 0;
    ScanNewBytes();
}

} // namespace tessaly
