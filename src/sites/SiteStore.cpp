#include "sites/SiteStore.h"

#include "settings/ConfigLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace tessaly {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
// Older copies of damaged files are never replaced: the next free of ".damaged", ".damaged.2", ...
constexpr int kMaxDamagedCopies = 100;

QString DamagedCopyName(const QString& path) {
    const QString base = path + QString::fromLatin1(kSiteDamagedSuffix);
    for (int n = 1; n <= kMaxDamagedCopies; ++n) {
        const QString name = n == 1 ? base : base + u'.' + QString::number(n);
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink()) {
            return name;
        }
    }
    return {};
}

SiteSaveResult Failed(const QString& path, const QString& reason) {
    SiteSaveResult result;
    result.error = u"The saved sites could not be written to %1: %2."_s.arg(path, reason);
    return result;
}

} // namespace

QString SiteSaveResult::message() const {
    QStringList lines;
    if (!damagedCopy.isEmpty()) {
        lines << u"The saved sites file was damaged; its original is kept as %1, where sites after the "
                 u"damage can be recovered by hand."_s.arg(damagedCopy);
    }
    if (!ok) {
        lines << error;
    }
    return lines.join(u'\n');
}

SiteStore::SiteStore(QString filePath) : filePath_(std::move(filePath)) {}

QString SiteStore::DefaultFilePath() {
    return ConfigDirectory() + u'/' + QString::fromLatin1(kSiteFileName);
}

SiteLoadResult SiteStore::Load() {
    sites_.clear();
    keepDamagedFile_ = false;
    SiteLoadResult result;
    const QFileInfo info(filePath_);
    if (filePath_.isEmpty() || (!info.exists() && !info.isSymLink())) {
        return result;
    }
    QFile file(filePath_);
    // Only a regular file is read: a FIFO or a device in its place could block or never end.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        result.state = SiteFileState::Unreadable;
        keepDamagedFile_ = true;
        result.message = u"The saved sites file %1 cannot be read (%2): no site was loaded, and it is not "
                         u"replaced until it can be read."_s.arg(filePath_, info.isFile() ? file.errorString()
                                                                                          : u"not a file"_s);
        return result;
    }
    // One byte past the bound tells a file that is larger.
    const QByteArray bytes = file.read(kSiteFileMaxBytes + 1);
    ParsedSiteFile parsed =
        ParseSiteFile(QByteArrayView(bytes).first(std::min(bytes.size(), kSiteFileMaxBytes)));
    if (bytes.size() > kSiteFileMaxBytes || file.error() != QFileDevice::NoError) {
        parsed.state = parsed.state == SiteFileState::Intact ? SiteFileState::Damaged : parsed.state;
    }
    sites_ = std::move(parsed.sites);
    result.state = parsed.state;
    result.sitesRead = sites_.size();
    const QString copy = filePath_ + QString::fromLatin1(kSiteDamagedSuffix);
    if (parsed.state == SiteFileState::WrongSignature) {
        result.message = u"The saved sites file %1 does not start with its signature: no site was loaded. "
                         u"The next save keeps it as %2."_s.arg(filePath_, copy);
    } else if (parsed.state == SiteFileState::Damaged) {
        result.message = u"The saved sites file %1 is damaged: %2 sites before the damage were loaded. "
                         u"The next save keeps the original as %3."_s.arg(filePath_)
                             .arg(sites_.size())
                             .arg(copy);
    }
    keepDamagedFile_ = !result.message.isEmpty();
    return result;
}

SiteSaveResult SiteStore::Save() {
    if (filePath_.isEmpty()) {
        return Failed(u"(none)"_s, u"the store has no file"_s);
    }
    const QByteArray bytes = SerializeSiteFile(sites_);
    if (bytes.size() > kSiteFileMaxBytes) {
        return Failed(filePath_, u"the sites take more than %1 bytes"_s.arg(kSiteFileMaxBytes));
    }
    if (!QDir().mkpath(QFileInfo(filePath_).absolutePath())) {
        return Failed(filePath_, u"its directory cannot be made"_s);
    }
    SiteSaveResult result;
    if (keepDamagedFile_ && QFileInfo::exists(filePath_)) {
        const QString copy = DamagedCopyName(filePath_);
        if (copy.isEmpty() || !QFile::copy(filePath_, copy)) {
            return Failed(filePath_, u"the damaged file could not be kept beside it, so it is left as it "
                                     u"was"_s);
        }
        QFile::setPermissions(copy, kOwnerOnly);
        result.damagedCopy = copy;
    }
    // The original is kept now: a failed write below leaves both as they are.
    keepDamagedFile_ = false;
    // The temporary file in the same directory is renamed over the real one by commit(); until then
    // the old file stays as it was, and an uncommitted QSaveFile removes its temporary file. The
    // passwords in it are merely scrambled: owner-only, set before anything is written.
    // Unbuffered: a write cut short (a full disk) shows in write() itself; a buffered QSaveFile can lose
    // that error in its final flush and rename a cut file over the old one.
    QSaveFile out(filePath_);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !out.setPermissions(kOwnerOnly) ||
        out.write(bytes) != bytes.size() || !out.commit()) {
        SiteSaveResult failed = Failed(filePath_, out.errorString());
        failed.damagedCopy = result.damagedCopy;
        return failed;
    }
    result.ok = true;
    return result;
}

const SiteProfile* SiteStore::FindByCommandId(int commandId) const {
    const auto found = std::find_if(sites_.begin(), sites_.end(), [commandId](const SiteProfile& site) {
        return site.commandId == commandId;
    });
    return found == sites_.end() ? nullptr : &*found;
}

const SiteProfile* SiteStore::FindByLabel(QByteArrayView label) const {
    const auto found = std::find_if(sites_.begin(), sites_.end(),
                                    [label](const SiteProfile& site) { return site.label == label; });
    return found == sites_.end() ? nullptr : &*found;
}

qsizetype SiteStore::IndexOf(int commandId) const {
    const SiteProfile* site = FindByCommandId(commandId);
    return site ? site - sites_.constData() : -1;
}

int SiteStore::NextCommandId() const {
    int highest = kFirstSiteCommandId - 1;
    for (const SiteProfile& site : sites_) {
        highest = std::max(highest, site.commandId);
    }
    if (highest < kLastSiteCommandId) {
        return highest + 1;
    }
    for (int id = kFirstSiteCommandId; id <= kLastSiteCommandId; ++id) {
        if (!FindByCommandId(id)) {
            return id;
        }
    }
    return 0;
}

SiteAddResult SiteStore::Add(SiteProfile site) {
    const int id = sites_.size() < kMaxSites ? NextCommandId() : 0;
    if (id == 0) {
        return {std::nullopt, u"At most %1 sites can be saved: remove one to add another."_s.arg(kMaxSites)};
    }
    site.commandId = id;
    sites_.append(std::move(site));
    return {id, {}};
}

bool SiteStore::Update(const SiteProfile& site) {
    const qsizetype index = IndexOf(site.commandId);
    if (index < 0) {
        return false;
    }
    sites_[index] = site;
    return true;
}

bool SiteStore::Remove(int commandId) {
    const qsizetype index = IndexOf(commandId);
    if (index < 0) {
        return false;
    }
    sites_.removeAt(index);
    if (removalHandler_) {
        removalHandler_(commandId);
    }
    return true;
}

} // namespace tessaly
