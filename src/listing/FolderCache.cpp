#include "listing/FolderCache.h"

#include <algorithm>

namespace tessaly {

namespace {

char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

bool SamePathIgnoringCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

FolderCacheEntry* FolderCache::Find(QByteArrayView path) {
    return const_cast<FolderCacheEntry*>(std::as_const(*this).Find(path));
}

const FolderCacheEntry* FolderCache::Find(QByteArrayView path) const {
    for (const std::unique_ptr<FolderCacheEntry>& entry : entries_) {
        if (SamePathIgnoringCase(entry->path, path)) {
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

void FolderCache::Clear() {
    for (std::unique_ptr<FolderCacheEntry>& entry : entries_) {
        entry.reset();
    }
    entries_.clear();
}

} // namespace tessaly
