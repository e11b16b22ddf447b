#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>
#include <span>
#include <vector>

namespace tessaly {

// The remote list's columns, in their order on screen.
enum RemoteColumn : int {
    kRemoteNameColumn = 0,
    kRemoteSizeColumn = 1,
    kRemoteModifiedColumn = 2,
    kRemotePermissionColumn = 3,
    kRemoteTypeColumn = 4,
    kRemoteColumnCount = 5,
};

// How rows compare when the list is sorted by a column.
enum class RemoteSortKind {
    Text,       // the column texts ignoring case; for two directories, their names
    Size,       // the byte sizes
    Time,       // the items' time stamps; rows without one after those, by their texts
    DateOrText, // the texts read as dates when both are dates, otherwise the texts ignoring case
};

// Name, Type: text; Size: size; Modified: time stamps; Permission: date-or-text (permission texts
// do not read as dates, so in practice they compare as text).
RemoteSortKind SortKindOfColumn(int column);

// What one row brings to a comparison by one column. Build one per row before sorting, so the
// comparisons themselves convert nothing.
struct RemoteSortKey {
    bool directory = false;
    quint64 size = 0;
    // Time: the item's time stamp. DateOrText: the column text read as a date, when it is one.
    std::optional<qint64> time;
    QString foldedText; // the text the kind compares, case-folded
};

// The key of a row for a sort by column. columnText is what the row shows in that column; name is
// the row's name as displayed (directories compare by name under the text kind).
RemoteSortKey MakeRemoteSortKey(int column, bool directory, quint64 size, std::optional<qint64> modified,
                                QStringView name, QStringView columnText);

// Negative when a goes before b, positive when after, 0 when the keys tie. A directory goes before a
// file when ascending and after it when descending; everything else follows the kind and is turned
// round when descending. Ties are real ties (equal keys compare 0): a stable sort keeps them in
// listing order, which is what the list does.
int CompareRemoteSortKeys(const RemoteSortKey& a, const RemoteSortKey& b, RemoteSortKind kind,
                          bool ascending);

// The order of rows sorted by their keys: result[i] is the index into keys of the row shown at i.
// Stable, so equal keys keep their listing order.
std::vector<int> SortRemoteRows(std::span<const RemoteSortKey> keys, RemoteSortKind kind, bool ascending);

// A column text of the form "YYYY-MM-DD", optionally followed by blanks and "H:MM" or "HH:MM", as
// minutes since the start of the Julian day count; nothing for any other text.
std::optional<qint64> ParseColumnDate(QStringView text);

} // namespace tessaly
