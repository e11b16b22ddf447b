#pragma once

#include <QByteArray>
#include <optional>

namespace tessaly {

// The size a SIZE reply ("213 1234") names: the text after its first blank, up to the first CR, with
// blanks around it, read as a decimal number as QByteArray::toLongLong reads one; 0 when the reply
// has no blank, the text is no such number (or does not fit), or the number is negative.
qint64 ParseSizeReply(const QByteArray& replyText);

// The path a 257 reply (PWD, MKD) names: what lies between its first double quote and the next one
// standing alone (it may be empty); a quote in the path comes doubled and is read as one. Nothing
// when the path is not closed.
std::optional<QByteArray> ParseQuotedPath(const QByteArray& replyText);

} // namespace tessaly
