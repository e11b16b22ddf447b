#pragma once

#include <QString>
#include <QStringView>

namespace tessaly {

// Integer and string values by section and key, kept in one INI file. Nothing is cached: every read
// opens the file again, so a value written by one part of the program (or by a second running
// instance) is seen by the next reader. Sections and keys compare without regard to case; an absent
// section or key yields the caller's default. Keys are never deleted.
class SettingsStore {
public:
    explicit SettingsStore(QString filePath);

    // The store both executables use: "tessaly.INI" in ConfigDirectory().
    static SettingsStore openDefault();

    const QString& filePath() const { return filePath_; }

    // The leading decimal number of the stored text (0 when it has none), or the default when absent.
    int GetInt(QStringView section, QStringView key, int defaultValue) const;
    // The stored text cut to 4,095 characters, or the default when absent.
    QString GetString(QStringView section, QStringView key, const QString& defaultValue = {}) const;

    // Both write through a temporary file renamed over the real one; false when that failed, in which
    // case the file is left as it was.
    bool WriteInt(QStringView section, QStringView key, int value);
    bool WriteString(QStringView section, QStringView key, const QString& value);

private:
    QString filePath_;
};

} // namespace tessaly
