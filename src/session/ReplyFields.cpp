#include "session/ReplyFields.h"

#include <QList>

namespace tessaly {

qint64 ParseSizeReply(const QByteArray& replyText) {
    const qsizetype space = replyText.indexOf(' ');
    return space < 0 ? 0 : replyText.mid(space + 1).split('\r').first().trimmed().toLongLong();
}

std::optional<QByteArray> ParseQuotedPath(const QByteArray& replyText) {
    const qsizetype open = replyText.indexOf('"');
    const qsizetype close = open < 0 ? -1 : replyText.indexOf('"', open + 1);
    return close > open ? std::optional(replyText.mid(open + 1, close - open - 1)) : std::nullopt;
}

} // namespace tessaly
