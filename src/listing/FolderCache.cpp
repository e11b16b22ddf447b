#include "listing/FolderCache.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tessaly {

FolderCacheEntry::FolderCacheEntry(QByteArray path, qsizetype reserveBytes, qsizetype reserveLines)
    : path(std::move(path)) {
    text_.reserve(reserveBytes);
    ReserveLines(reserveLines);
}

void FolderCacheEntry::AddWideStart(qsizetype start) {
    if (wideStarts_.empty()) {
        wideStarts_.assign(starts_.begin(), starts_.end());
        starts_ = std::vector<quint32>();
    }
    wideStarts_.push_back(start);
}

qsizetype FolderCacheEntry::AppendLine(QByteArrayView line) {
    Q_ASSERT(!line.contains('\n'));
    const qsizetype start = text_.size();
    // Within the room taken, resizing only moves the end; beyond it, the room grows geometrically.
    text_.resize(start + line.size() + 1);
    char* out = text_.data() + start;
    if (!line.isEmpty()) {
        std::memcpy(out, line.data(), std::size_t(line.size()));
    }
    out[line.size()] = '\n';
    AddStart(start);
    return start;
}

void FolderCacheEntry::ReleaseUnusedRoom() {
    // Room for an eighth more is kept rather than copied away: a listing with CR LF line ends alone
    // leaves that much.
    if (text_.capacity() - text_.size() > text_.size() / 8) {
        text_.squeeze();
    }
    if (starts_.capacity() - starts_.size() > starts_.size() / 8) {
        starts_.shrink_to_fit();
    }
    if (wideStarts_.capacity() - wideStarts_.size() > wideStarts_.size() / 8) {
        wideStarts_.shrink_to_fit();
    }
}

FolderCacheEntry* FolderCache::Find(QByteArrayView path) {
    return const_cast<FolderCacheEntry*>(std::as_const(*this).Find(path));
}

const FolderCacheEntry* FolderCache::Find(QByteArrayView path) const {
    for (const std::unique_ptr<FolderCacheEntry>& entry : entries_) {
        if (QByteArrayView(entry->path) == path) {
            return entry.get();
        }
    }
    return nullptr;
}

FolderCacheEntry& FolderCache::Append(FolderCacheEntry entry) {
    entries_.push_back(std::make_unique<FolderCacheEntry>(std::move(entry)));
    return *entries_.back();
}

void FolderCache::Remove(const FolderCacheEntry* entry) {
    const auto found =
        std::find_if(entries_.begin(), entries_.end(),
                     [entry](const std::unique_ptr<FolderCacheEntry>& held) { return held.get() == entry; });
    if (found != entries_.end()) {
        entries_.erase(found);
    }
}

void FolderCache::RemoveTree(QByteArrayView path) {
    QByteArray prefix = path.toByteArray();
    while (prefix.size() > 1 && prefix.endsWith('/')) {
        prefix.chop(1);
    }
    const QByteArray below = prefix == "/" ? prefix : prefix + '/';
    std::erase_if(entries_, [&](const std::unique_ptr<FolderCacheEntry>& entry) {
        return entry->path == prefix || entry->path.startsWith(below);
    });
}

void FolderCache::Clear() {
    for (std::unique_ptr<FolderCacheEntry>& entry : entries_) {
        entry.reset();
    }
    entries_.clear();
}

} // namespace tessaly
