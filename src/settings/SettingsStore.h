#pragma once

#include "settings/SettingKeys.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

namespace tessaly {

// Integer and string values by section and key, kept in one INI file. Every read looks at the file
// again (outside a SharedLook), so a value written by one part of the program (or by a second running
// instance) is seen by the next reader; the parsed file is kept only for as long as the file has not changed.
// Sections and keys compare without regard to case; an absent section or key yields the caller's default.
// Keys are never deleted.
//
// A transient value (SetTransient) stands over the file's for this store and its copies: every read
// of that key sees it, and no write ever puts it in the file, so a front end can change a setting
// for one run and leave the file as it was.
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

    // A key of the settings table: its default when absent; a number with the reader's correction.
    int Number(const SettingKey& key) const;
    QString Text(const SettingKey& key) const;

    // One value to write, and a write of many values with one save: all of them or, when it fails,
    // none (the file is left as it was).
    struct Write {
        QString section;
        QString key;
        QString text;
    };
    bool WriteAll(const std::vector<Write>& values);

    // Reads of the key see `value` from now on, whatever the file holds or a write puts there.
    void SetTransient(QStringView section, QStringView key, const QString& value);

    // While one lives, the reads of this store look at the file once and share what they saw: the
    // handler of one event reads its settings at one moment, as one consistent set, instead of a
    // look at the file for each of them. A write through this store, or LookAgain(), ends the
    // shared look early; a copy of the store starts outside it. Nested looks share the outer one.
    class SharedLook {
    public:
        explicit SharedLook(const SettingsStore& store);
        ~SharedLook();
        SharedLook(const SharedLook&) = delete;
        SharedLook& operator=(const SharedLook&) = delete;

    private:
        const SettingsStore& store_;
    };
    // The next read looks at the file again (after a question, during which another program may
    // have changed it).
    void LookAgain() const;

private:
    struct Snapshot;
    // The state of a shared look: how many SharedLook objects live, and what the first read saw.
    struct Share {
        int depth = 0;
        bool looked = false;
        std::shared_ptr<const Snapshot> seen;

        Share() = default;
        Share(const Share&) {}                           // a copy starts outside any shared look
        Share& operator=(const Share&) { return *this; } // and an assignment keeps its own
    };
    std::shared_ptr<const Snapshot> Look() const;
    struct Transient {
        QString section;
        QString key;
        QString value;
    };
    std::optional<QString> Read(QStringView section, QStringView key) const;

    QString filePath_;
    QByteArray encodedPath_; // the path as the system calls take it, made once: a look is frequent
    // The file as last read, with the identity it had then. A read whose file still has that
    // identity (device, inode, size, modification and change times) and was not modified in the
    // last seconds uses it instead of reading and parsing the file again.
    mutable std::shared_ptr<const Snapshot> snapshot_;
    mutable Share share_;
    std::vector<Transient> transient_;
};

} // namespace tessaly
