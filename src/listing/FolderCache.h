#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <limits>
#include <memory>
#include <vector>

namespace tessaly {

// The remembered listing of one remote directory: every line the listing parser kept, as received,
// in listing order. The lines are held in one buffer, each followed by "\n" (a kept line holds no
// CR or LF), with the start of each line beside it (4 bytes a line while the buffer is under
// 4 GiB), so an entry costs two allocations whatever the number of lines. Items built from the
// entry share that buffer. The parser may make the buffer of the listing itself the entry's, its
// kept lines moved together in place.
class FolderCacheEntry {
public:
    FolderCacheEntry() = default;
    // An entry for path without lines; room for reserveBytes bytes of lines (line ends included)
    // and reserveLines lines is taken at once.
    explicit FolderCacheEntry(QByteArray path, qsizetype reserveBytes = 0, qsizetype reserveLines = 0);

    QByteArray path; // the directory as the session names it, for example /pub/incoming

    // Adds line (which must hold no LF) at the end; returns where it starts in text().
    qsizetype AppendLine(QByteArrayView line);
    // Hands back room taken for lines that never came, when there is much of it.
    void ReleaseUnusedRoom();

    qsizetype lineCount() const {
        return qsizetype(wideStarts_.empty() ? starts_.size() : wideStarts_.size());
    }
    // The line at index, in listing order, without its "\n".
    QByteArrayView line(qsizetype index) const {
        return QByteArrayView(text_.constData() + lineStart(index), lineLength(index));
    }
    qsizetype lineStart(qsizetype index) const {
        return wideStarts_.empty() ? qsizetype(starts_[std::size_t(index)]) : wideStarts_[std::size_t(index)];
    }
    qsizetype lineLength(qsizetype index) const {
        return (index + 1 < lineCount() ? lineStart(index + 1) : text_.size()) - lineStart(index) - 1;
    }
    // All lines, each followed by "\n".
    const QByteArray& text() const { return text_; }

private:
    friend class ListingAssembly; // writes the kept lines into a buffer of its own, then hands it over

    // Records a line that starts at start of the text being built.
    void AddStart(qsizetype start) {
        if (wideStarts_.empty() && quint64(start) <= std::numeric_limits<quint32>::max()) {
            starts_.push_back(quint32(start));
        } else {
            AddWideStart(start);
        }
    }
    void AddWideStart(qsizetype start);
    void ReserveLines(qsizetype count) { starts_.reserve(std::size_t(count)); }

    QByteArray text_;
    std::vector<quint32> starts_;       // while every start fits in 32 bits
    std::vector<qsizetype> wideStarts_; // every start, once one does not
};

// The listings of the directories one session has shown, in the order they were stored. Each entry
// is owned by the cache and stays at its address until it is removed, so the session may point at
// an entry it is about to use. When and what to store is the session's business; this is only the
// list.
class FolderCache {
public:
    // The first entry whose path equals path byte for byte. Letter case counts: on a case-sensitive
    // server "/pub" and "/Pub" are two directories, and the cache must not show one for the other.
    FolderCacheEntry* Find(QByteArrayView path);
    const FolderCacheEntry* Find(QByteArrayView path) const;
    // Adds the entry at the end; returns it where the cache keeps it.
    FolderCacheEntry& Append(FolderCacheEntry entry);
    // Unlinks and deletes the entry; pointers to it end. Does nothing for an entry not in the cache.
    void Remove(const FolderCacheEntry* entry);
    // Removes the entries of path and of every directory below it ("/" holds all).
    void RemoveTree(QByteArrayView path);
    // Removes and deletes every entry, first to last.
    void Clear();

    qsizetype size() const { return qsizetype(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    // The entry at index, in the order of Append.
    const FolderCacheEntry& at(qsizetype index) const { return *entries_[std::size_t(index)]; }

private:
    std::vector<std::unique_ptr<FolderCacheEntry>> entries_;
};

} // namespace tessaly
