#pragma once

#include "sites/SiteFile.h"
#include "sites/SiteProfile.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace tessaly {

// The result of loading the site file, for the caller to show.
struct SiteLoadResult {
    SiteFileState state = SiteFileState::Missing;
    qsizetype sitesRead = 0;
    // Empty unless the file is damaged, has a wrong signature or could not be read: then a sentence
    // saying so, and that the next save keeps the original beside it.
    QString message;
};

// The result of saving; a failed save left the file as it was.
struct SiteSaveResult {
    bool ok = false;
    // Why the save failed; empty on success.
    QString error;
    // Set by the one save that kept a damaged original: where the original now is.
    QString damagedCopy;
    // What to tell the user, or empty when there is nothing to tell.
    QString message() const;
};

// The result of adding a site: its command id, or why it was not added.
struct SiteAddResult {
    std::optional<int> commandId;
    QString error;
};

// The saved sites, in file order, and the file they are loaded from and saved to ("Favorites.dat" in
// the per-user configuration directory for the programs). Every site has its own command id in
// 3584..4095: the sites of a load get 3584 up in file order; an added site gets one above the highest
// id in use, or, when that is past 4095, the lowest free one, so no two sites ever share an id.
//
// A file whose load stopped early or found a wrong signature is not overwritten blindly: the first
// save copies it beside itself (kSiteDamagedSuffix) before writing, and says so once in its result.
// Saves are atomic (a temporary file renamed over the old one) and readable by the owner only.
class SiteStore {
public:
    // A store with no file: it cannot be saved.
    SiteStore() = default;
    explicit SiteStore(QString filePath);

    // "Favorites.dat" in ConfigDirectory().
    static QString DefaultFilePath();

    const QString& filePath() const { return filePath_; }

    // Replaces the sites with the file's; see SiteFileState for what a load finds.
    SiteLoadResult Load();
    // Writes every site, creating the directory when it is missing.
    SiteSaveResult Save();

    const QList<SiteProfile>& Sites() const { return sites_; }
    // The first site with this command id or label, or nullptr. The pointer holds until the store
    // changes.
    const SiteProfile* FindByCommandId(int commandId) const;
    const SiteProfile* FindByLabel(QByteArrayView label) const;
    // The 0-based position of the site with this command id, or -1.
    qsizetype IndexOf(int commandId) const;

    // Appends the site with a new command id (its own is ignored); fails when the store holds
    // kMaxSites sites already. Not saved.
    SiteAddResult Add(SiteProfile site);
    // Replaces the fields of the site with site.commandId; false when there is none. Not saved.
    bool Update(const SiteProfile& site);
    // Takes the site out; false when there is none. Not saved. The removal handler, when set, is told
    // the site's command id after it has gone, so whoever refers to the site can drop it.
    bool Remove(int commandId);
    void SetRemovalHandler(std::function<void(int commandId)> handler) {
        removalHandler_ = std::move(handler);
    }

private:
    int NextCommandId() const;

    QString filePath_;
    QList<SiteProfile> sites_;
    // The file on disk is damaged: the next save keeps a copy of it first.
    bool keepDamagedFile_ = false;
    std::function<void(int)> removalHandler_;
};

inline constexpr char kSiteDamagedSuffix[] = ".damaged";

} // namespace tessaly
