#pragma once

#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"

#include <QList>

namespace tessaly {

// The recent-site list: the saved sites of the last logins, most recent first, at most four, each
// named by its command id. It is mirrored in the settings' "RecentFTPSite" section: "Count" and, for
// entry i, "Site%d" holding "%d,%s" (the site's 0-based position in the store, a comma, its address).
class RecentSites {
public:
    static constexpr qsizetype kMaxEntries = 4;

    const QList<int>& CommandIds() const { return ids_; }

    // Rebuilds the list from the settings. An entry names the site at its position when that site has
    // its address, or else the only site with that address; an entry that names no site, or one
    // already in the list, is dropped.
    void Load(const SettingsStore& settings, const SiteStore& sites);
    // The site goes to the front (moving its entry when it has one); the fifth entry goes.
    void Touch(int commandId);
    // Drops the site's entry; false when it had none.
    bool Remove(int commandId);
    // Writes the section from the sites' positions and addresses as they are now; false when a write
    // failed.
    bool Write(SettingsStore& settings, const SiteStore& sites) const;

private:
    QList<int> ids_;
};

} // namespace tessaly
