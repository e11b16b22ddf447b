#include "session/ReplyFields.h"

#include <QList>
#include <algorithm>

namespace tessaly {

qint64 ParseSizeReply(const QByteArray& replyText) {
    const qsizetype space = replyText.indexOf(' ');
    const qint64 size = space < 0 ? 0 : replyText.mid(space + 1).split('\r').first().trimmed().toLongLong();
    return std::max<qint64>(size, 0);
}

std::optional<QByteArray> ParseQuotedPath(const QByteArray& replyText) {
    qsizetype at = replyText.indexOf('"');
    if (at < 0) {
        return std::nullopt;
    }
    QByteArray path;
    for (++at; at < replyText.size(); ++at) {
        if (replyText[at] != '"') {
            path.append(replyText[at]);
        } else if (at + 1 < replyText.size() && replyText[at + 1] == '"') {
            path.append('"'); // a quote in the name is written twice
            ++at;
        } else {
            return path;
        }
    }
    return std::nullopt;
}

} // namespace tessaly
