#pragma once

#include <QByteArray>
#include <QList>

namespace tessaly {

// What the accumulated bytes of the control connection hold: the complete replies at their front.
struct ReplyScan {
    QList<QByteArray> lines; // every line of the complete replies, without line ends; empty lines skipped
    int finalCount = 0;      // how many complete replies there are
    int completionCount = 0; // how many of them have a code of 200 and above (not a preliminary 1xx)
    int lastCode = 0;        // the code of the last of them; it decides the outcome
    qsizetype consumed = 0;  // how many bytes of the buffer they cover, line ends included
};

// Collects the bytes the server sends on the control connection and finds the replies in them,
// independent of how the bytes were cut into reads.
//
// A reply is complete at its final line: three digits forming a number above 100, a space, and a
// line end (CR or LF) after the text; a final line whose line end has not arrived yet does not count.
// A reply whose first line is a code and "-" is multi-line and ends only at the first final line with
// the same code, so lines in its body that look like final lines belong to it. Text lines before a
// reply's first coded line belong to that reply. Bytes after the last complete reply stay in the
// buffer for the next scan.
//
// The bytes are examined as they arrive, each once, so a reply received in many small pieces costs
// time in proportion to its size.
class ReplyReader {
public:
    // Bytes after the last complete reply that grow past this are from a broken or hostile server.
    static constexpr qsizetype kMaxPendingBytes = qsizetype(1) << 20;

    void Append(const char* data, qsizetype length);
    // The complete replies at the front of the buffer.
    ReplyScan Scan() const { return scan_; }
    // Drops the first count bytes (the complete replies of a scan).
    void Consume(qsizetype count);
    void Clear() { Consume(buffer_.size()); }

    const QByteArray& Buffer() const { return buffer_; }
    bool IsEmpty() const { return buffer_.isEmpty(); }
    // True when more than kMaxPendingBytes follow the last complete reply.
    bool IsOverlong() const { return buffer_.size() - scan_.consumed > kMaxPendingBytes; }

private:
    void ScanNewBytes();
    void TakeLine(qsizetype start, qsizetype end, qsizetype next);

    QByteArray buffer_;
    ReplyScan scan_;            // the complete replies found so far
    QList<QByteArray> pending_; // the lines of the reply being collected
    int multiLineCode_ = 0;     // the code of an open multi-line reply
    qsizetype lineStart_ = 0;   // where the line being received starts
    qsizetype searched_ = 0;    // bytes before this have been looked at
};

// The reply code of a line that can end a reply (three digits above 100 and a space), or 0.
int FinalLineCode(const QByteArray& line);

} // namespace tessaly
