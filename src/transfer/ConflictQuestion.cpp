#include "transfer/ConflictQuestion.h"

namespace tessaly {

ConflictDefault DefaultConflictChoice(const ConflictQuestion& question) {
    const qint64 target = question.upload ? question.remoteSizeValue : question.localSizeValue;
    const qint64 source = question.upload ? question.localSizeValue : question.remoteSizeValue;
    const bool equal = target == source;
    const bool resumable = question.resumePossible && target < source;
    if (equal) {
        return {question.resumePossible ? ConflictChoice::Ignore : ConflictChoice::Overwrite, false};
    }
    return {resumable ? ConflictChoice::Resume : ConflictChoice::Overwrite, resumable};
}

QString ConflictSizeText(qint64 size) {
    return QStringLiteral("%1 byte").arg(size);
}

QString ConflictDateText(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace tessaly
