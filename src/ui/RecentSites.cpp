#include "ui/RecentSites.h"

using namespace Qt::StringLiterals;

namespace tessaly {

namespace {

constexpr QStringView kSection = u"RecentFTPSite";
constexpr QStringView kCount = u"Count";

QString EntryKey(qsizetype i) {
    return u"Site%1"_s.arg(i);
}

// The site an entry "position,address" names, or nullptr.
const SiteProfile* EntrySite(const QString& entry, const SiteStore& sites) {
    const qsizetype comma = entry.indexOf(u',');
    if (comma < 0) {
        return nullptr;
    }
    bool ok = false;
    const qsizetype position = entry.first(comma).trimmed().toLongLong(&ok);
    const QByteArray address = entry.sliced(comma + 1).toUtf8();
    const QList<SiteProfile>& all = sites.Sites();
    if (ok && position >= 0 && position < all.size() && all[position].address == address) {
        return &all[position];
    }
    const SiteProfile* found = nullptr;
    for (const SiteProfile& site : all) {
        if (site.address == address) {
            if (found != nullptr) {
                return nullptr; // more than one: the entry cannot tell which
            }
            found = &site;
        }
    }
    return found;
}

} // namespace

void RecentSites::Load(const SettingsStore& settings, const SiteStore& sites) {
    ids_.clear();
    const int count = std::clamp(settings.GetInt(kSection, kCount, 0), 0, int(kMaxEntries));
    for (int i = 0; i < count; ++i) {
        const SiteProfile* site = EntrySite(settings.GetString(kSection, EntryKey(i)), sites);
        if (site != nullptr && !ids_.contains(site->commandId)) {
            ids_.append(site->commandId);
        }
    }
}

void RecentSites::Touch(int commandId) {
    ids_.removeOne(commandId);
    ids_.prepend(commandId);
    if (ids_.size() > kMaxEntries) {
        ids_.removeLast();
    }
}

bool RecentSites::Remove(int commandId) {
    return ids_.removeOne(commandId);
}

bool RecentSites::Write(SettingsStore& settings, const SiteStore& sites) const {
    bool ok = settings.WriteInt(kSection, kCount, int(ids_.size()));
    for (qsizetype i = 0; i < ids_.size(); ++i) {
        const qsizetype position = sites.IndexOf(ids_[i]);
        const QString address =
            position >= 0 ? QString::fromUtf8(sites.Sites()[position].address) : QString();
        ok = settings.WriteString(kSection, EntryKey(i), u"%1,%2"_s.arg(position).arg(address)) && ok;
    }
    return ok;
}

} // namespace tessaly
