#include "panes/RemoteSort.h"

#include <QDate>
#include <algorithm>

namespace tessaly {

namespace {

template <typename T> int Compare(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareTexts(const RemoteSortKey& a, const RemoteSortKey& b) {
    const int result = QStringView(a.foldedText).compare(QStringView(b.foldedText));
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// Leading ASCII digits of text from at, at most maxDigits of them; at moves past them.
std::optional<int> ReadNumber(QStringView text, qsizetype& at, int minDigits, int maxDigits) {
    int value = 0;
    int digits = 0;
    while (at < text.size() && digits < maxDigits && text[at] >= u'0' && text[at] <= u'9') {
        value = value * 10 + (text[at].unicode() - u'0');
        ++at;
        ++digits;
    }
    return digits >= minDigits ? std::optional<int>(value) : std::nullopt;
}

bool Expect(QStringView text, qsizetype& at, QChar c) {
    if (at < text.size() && text[at] == c) {
        ++at;
        return true;
    }
    return false;
}

} // namespace

RemoteSortKind SortKindOfColumn(int column) {
    switch (column) {
    case kRemoteSizeColumn:
        return RemoteSortKind::Size;
    case kRemoteModifiedColumn:
        return RemoteSortKind::Time;
    case kRemotePermissionColumn:
        return RemoteSortKind::DateOrText;
    default:
        return RemoteSortKind::Text;
    }
}

RemoteSortKey MakeRemoteSortKey(int column, bool directory, quint64 size, std::optional<qint64> modified,
                                QStringView name, QStringView columnText) {
    RemoteSortKey key;
    key.directory = directory;
    key.size = size;
    switch (SortKindOfColumn(column)) {
    case RemoteSortKind::Size:
        break;
    case RemoteSortKind::Text:
        key.foldedText = (directory ? name : columnText).toString().toCaseFolded();
        break;
    case RemoteSortKind::Time:
        key.time = modified;
        key.foldedText = columnText.toString().toCaseFolded();
        break;
    case RemoteSortKind::DateOrText:
        key.time = ParseColumnDate(columnText);
        key.foldedText = columnText.toString().toCaseFolded();
        break;
    }
    return key;
}

int CompareRemoteSortKeys(const RemoteSortKey& a, const RemoteSortKey& b, RemoteSortKind kind,
                          bool ascending) {
    const int direction = ascending ? 1 : -1;
    if (a.directory != b.directory) {
        return a.directory ? -direction : direction;
    }
    int result = 0;
    switch (kind) {
    case RemoteSortKind::Size:
        result = Compare(a.size, b.size);
        break;
    case RemoteSortKind::Text:
        result = CompareTexts(a, b);
        break;
    case RemoteSortKind::Time:
        if (a.time && b.time) {
            result = Compare(*a.time, *b.time);
        } else if (a.time || b.time) {
            result = a.time ? -1 : 1; // stamped rows first
        } else {
            result = CompareTexts(a, b);
        }
        break;
    case RemoteSortKind::DateOrText:
        result = a.time && b.time ? Compare(*a.time, *b.time) : CompareTexts(a, b);
        break;
    }
    return result * direction;
}

std::vector<int> SortRemoteRows(std::span<const RemoteSortKey> keys, RemoteSortKind kind, bool ascending) {
    std::vector<int> order(keys.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = int(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return CompareRemoteSortKeys(keys[std::size_t(a)], keys[std::size_t(b)], kind, ascending) < 0;
    });
    return order;
}

std::optional<qint64> ParseColumnDate(QStringView text) {
    qsizetype at = 0;
    const auto year = ReadNumber(text, at, 4, 4);
    if (!year || !Expect(text, at, u'-')) {
        return std::nullopt;
    }
    const auto month = ReadNumber(text, at, 2, 2);
    if (!month || !Expect(text, at, u'-')) {
        return std::nullopt;
    }
    const auto day = ReadNumber(text, at, 2, 2);
    const QDate date = day ? QDate(*year, *month, *day) : QDate();
    if (!date.isValid()) {
        return std::nullopt;
    }
    qint64 minutes = date.toJulianDay() * 24 * 60;
    while (at < text.size() && text[at] == u' ') {
        ++at;
    }
    if (at < text.size()) {
        const auto hours = ReadNumber(text, at, 1, 2);
        if (!hours || *hours > 23 || !Expect(text, at, u':')) {
            return std::nullopt;
        }
        const auto mins = ReadNumber(text, at, 2, 2);
        if (!mins || *mins > 59 || at != text.size()) {
            return std::nullopt;
        }
        minutes += *hours * 60 + *mins;
    }
    return minutes;
}

} // namespace tessaly
