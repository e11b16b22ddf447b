#include "settings/SettingsStore.h"

#include "settings/ConfigLocation.h"
#include "settings/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <ctime>
#include <optional>
#include <sys/stat.h>
#include <utility>

namespace tessaly {

namespace {

// Strings read back at most this many UTF-16 units, as the profile functions return them.
constexpr qsizetype kMaxStringLength = 4095;

enum class FileState { Absent, Unusable, Loaded };

struct LoadedFile {
    FileState state = FileState::Absent;
    IniDocument document;
};

LoadedFile Load(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {FileState::Absent, {}};
    }
    // Only a regular file is opened: a FIFO or a device in its place could block or never end.
    if (!info.isFile()) {
        return {FileState::Unusable, {}};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileState::Unusable, {}};
    }
    // One byte past the bound, so that a file grown since the look above is caught as well.
    const QByteArray bytes = file.read(kIniMaxFileBytes + 1);
    if (bytes.size() > kIniMaxFileBytes || file.error() != QFileDevice::NoError) {
        return {FileState::Unusable, {}};
    }
    return {FileState::Loaded, IniDocument::parse(bytes)};
}

// What identifies one version of the file.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// File systems stamp times coarsely: two writes close together can leave the same identity, so a
// file changed within this many seconds is always read again.
constexpr time_t kSettleSeconds = 2;

std::optional<FileIdentity> IdentityOf(const QByteArray& encodedPath, bool* settled) {
    struct stat info {};
    if (::stat(encodedPath.constData(), &info) != 0) {
        return std::nullopt;
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    *settled = now.tv_sec - info.st_mtim.tv_sec > kSettleSeconds &&
               now.tv_sec - info.st_ctim.tv_sec > kSettleSeconds;
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool WriteValues(const QString& path, const std::vector<SettingsStore::Write>& values) {
    LoadedFile file = Load(path);
    // A file that cannot be read (or is too large) is not replaced by one holding only these keys.
    if (file.state == FileState::Unusable) {
        return false;
    }
    for (const SettingsStore::Write& value : values) {
        if (!file.document.setValue(value.section, value.key, value.text)) {
            return false;
        }
    }
    const QByteArray bytes = file.document.serialize();
    if (bytes.size() > kIniMaxFileBytes || !QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    // The temporary file in the same directory is renamed over the real one by commit(); until then
    // the old file stays as it was, and an uncommitted QSaveFile removes its temporary file.
    // Unbuffered: a write cut short (a full disk) shows in write() itself; a buffered QSaveFile can lose
    // that error in its final flush and rename a cut file over the old one.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return false;
    }
    // Proxy and SOCKS passwords are stored in plain text: owner-only, set on the temporary file before
    // anything is in it, so the renamed file has this mode whatever mode an older file had.
    if (!out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return false;
    }
    if (out.write(bytes) != bytes.size()) {
        return false;
    }
    return out.commit();
}

} // namespace

// The transient value of a key, its names compared without regard to case as the file's are.
template <typename Entries> auto FindTransient(Entries& entries, QStringView section, QStringView key) {
    return std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
        return entry.section.compare(section, Qt::CaseInsensitive) == 0 &&
               entry.key.compare(key, Qt::CaseInsensitive) == 0;
    });
}

struct SettingsStore::Snapshot {
    FileIdentity identity;
    LoadedFile file;
};

SettingsStore::SettingsStore(QString filePath)
    : filePath_(std::move(filePath)), encodedPath_(QFile::encodeName(filePath_)) {}

std::optional<QString> SettingsStore::Read(QStringView section, QStringView key) const {
    if (const auto found = FindTransient(transient_, section, key); found != transient_.end()) {
        return found->value;
    }
    const std::shared_ptr<const Snapshot> seen = Look();
    if (!seen || seen->file.state != FileState::Loaded) {
        return std::nullopt; // no file, or one that cannot be read: every key is absent
    }
    return seen->file.document.value(section, key);
}

std::shared_ptr<const SettingsStore::Snapshot> SettingsStore::Look() const {
    if (share_.depth > 0 && share_.looked) {
        return share_.seen;
    }
    std::shared_ptr<const Snapshot> seen;
    bool settled = false;
    if (const std::optional<FileIdentity> identity = IdentityOf(encodedPath_, &settled); !identity) {
        snapshot_.reset();
    } else if (!snapshot_ || !settled || !(snapshot_->identity == *identity)) {
        // The identity is taken before the file is read: a change during the read shows as a new
        // identity at the next look. A file that changed just now is read but not kept.
        seen = std::make_shared<const Snapshot>(Snapshot{*identity, Load(filePath_)});
        snapshot_ = settled ? seen : nullptr;
    } else {
        seen = snapshot_;
    }
    if (share_.depth > 0) {
        share_.looked = true;
        share_.seen = seen;
    }
    return seen;
}

void SettingsStore::LookAgain() const {
    share_.looked = false;
    share_.seen.reset();
}

SettingsStore::SharedLook::SharedLook(const SettingsStore& store) : store_(store) {
    ++store_.share_.depth;
}

SettingsStore::SharedLook::~SharedLook() {
    if (--store_.share_.depth == 0) {
        store_.LookAgain();
    }
}

SettingsStore SettingsStore::openDefault() {
    return SettingsStore(ConfigDirectory() + u'/' + QStringView(kSettingsFileName).toString());
}

int SettingsStore::GetInt(QStringView section, QStringView key, int defaultValue) const {
    const std::optional<QString> text = Read(section, key);
    return text ? ParseLeadingInt(*text) : defaultValue;
}

QString SettingsStore::GetString(QStringView section, QStringView key, const QString& defaultValue) const {
    std::optional<QString> text = Read(section, key);
    if (!text) {
        return defaultValue;
    }
    if (text->size() > kMaxStringLength) {
        text->truncate(kMaxStringLength);
        // Never end on half of a surrogate pair.
        if (text->back().isHighSurrogate()) {
            text->chop(1);
        }
    }
    return *std::move(text);
}

bool SettingsStore::WriteInt(QStringView section, QStringView key, int value) {
    return WriteAll({{section.toString(), key.toString(), QString::number(value)}});
}

bool SettingsStore::WriteString(QStringView section, QStringView key, const QString& value) {
    return WriteAll({{section.toString(), key.toString(), value}});
}

bool SettingsStore::WriteAll(const std::vector<Write>& values) {
    LookAgain();
    return WriteValues(filePath_, values);
}

int SettingsStore::Number(const SettingKey& key) const {
    const int value = GetInt(key.section, key.key, key.defaultNumber);
    if (key.clamp && (value < key.clamp->low || value > key.clamp->high)) {
        return key.clamp->fallback;
    }
    return value;
}

QString SettingsStore::Text(const SettingKey& key) const {
    return GetString(key.section, key.key, key.defaultText.toString());
}

void SettingsStore::SetTransient(QStringView section, QStringView key, const QString& value) {
    if (const auto found = FindTransient(transient_, section, key); found != transient_.end()) {
        found->value = value;
    } else {
        transient_.push_back({section.toString(), key.toString(), value});
    }
}

} // namespace tessaly
