#pragma once

#include <QByteArray>
#include <optional>

namespace tessaly {

// The size a SIZE reply ("213 1234") names: the text after its first blank, up to the first CR, with
// blanks around it, read as a decimal number as QByteArray::toLongLong reads one; 0 when the reply
// has no blank or the text is no such number (or does not fit).
qint64 ParseSizeReply(const QByteArray& replyText);

// The path a 257 reply (PWD, MKD) names: what lies between its first two double quotes (it may be
// empty). Nothing when the reply holds fewer than two.
std::optional<QByteArray> ParseQuotedPath(const QByteArray& replyText);

} // namespace tessaly
