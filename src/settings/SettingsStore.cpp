#include "settings/SettingsStore.h"

#include "settings/ConfigLocation.h"
#include "settings/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>
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

std::optional<QString> Read(const QString& path, QStringView section, QStringView key) {
    const LoadedFile file = Load(path);
    if (file.state != FileState::Loaded) {
        return std::nullopt;
    }
    return file.document.value(section, key);
}

bool Write(const QString& path, QStringView section, QStringView key, QStringView text) {
    LoadedFile file = Load(path);
    // A file that cannot be read (or is too large) is not replaced by one holding only this key.
    if (file.state == FileState::Unusable || !file.document.setValue(section, key, text)) {
        return false;
    }
    const QByteArray bytes = file.document.serialize();
    if (bytes.size() > kIniMaxFileBytes || !QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    // The temporary file in the same directory is renamed over the real one by commit(); until then
    // the old file stays as it was, and an uncommitted QSaveFile removes its temporary file.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
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

SettingsStore::SettingsStore(QString filePath) : filePath_(std::move(filePath)) {}

SettingsStore SettingsStore::openDefault() {
    return SettingsStore(ConfigDirectory() + u'/' + QStringView(kSettingsFileName).toString());
}

int SettingsStore::GetInt(QStringView section, QStringView key, int defaultValue) const {
    const std::optional<QString> text = Read(filePath_, section, key);
    return text ? ParseLeadingInt(*text) : defaultValue;
}

QString SettingsStore::GetString(QStringView section, QStringView key, const QString& defaultValue) const {
    std::optional<QString> text = Read(filePath_, section, key);
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
    return Write(filePath_, section, key, QString::number(value));
}

bool SettingsStore::WriteString(QStringView section, QStringView key, const QString& value) {
    return Write(filePath_, section, key, value);
}

} // namespace tessaly
