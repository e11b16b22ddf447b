#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace tessaly {

// Where the first fields of a listing line lie. Fields are runs of non-blanks separated by runs of
// blanks (space characters only); a line that begins with a blank begins with an empty field.
struct LineFields {
    static constexpr int kMaxFields = 11;
    int count = 0;                  // how many fields were found, at most the number asked for
    qsizetype starts[kMaxFields]{}; // where each found field starts
    qsizetype ends[kMaxFields]{};   // where each ends (filled for all but the last field asked for)

    QByteArrayView Field(const char* line, int index) const {
        return QByteArrayView(line + starts[index], ends[index] - starts[index]);
    }
};

// Finds up to wanted (at most LineFields::kMaxFields) fields of the line. Only the start of the
// last field asked for is looked for, so the bytes after it are not read: a name of any length
// after the fields costs nothing. Linear in the bytes read, 64 at a time.
LineFields FindFields(const char* line, qsizetype size, int wanted);

// The decimal number formed by the leading ASCII digits of text (no sign, no blanks), 0 when there
// are none. Values beyond 64 bits read as the largest 64-bit number.
quint64 ReadDecimal(QByteArrayView text);

// Writes value in decimal, padded on the left with pad to at least width characters; returns the
// end of what it wrote (at most 20 digits plus the padding).
char* PutDecimal(char* out, quint64 value, int width, char pad);

} // namespace tessaly
