#include "settings/SettingsStore.h"

#include "session/FtpSession.h"
#include "settings/ConfigLocation.h"
#include "settings/IniDocument.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;
using tessaly::SettingsStore;

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), bytes.size()), bytes.size());
}

// QFile::permissions() reports the owner bits twice (as "user" and "owner"); compare the owner and
// group/other bits only.
QFileDevice::Permissions ModeOf(const QString& path) {
    return QFile::permissions(path) &
           (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
            QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const QString& name = u"tessaly.INI"_s) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

TEST_F(SettingsStoreTest, AbsentFileSectionOrKeyYieldsTheDefault) {
    const SettingsStore store(path());
    EXPECT_EQ(store.GetInt(u"Advance", u"ControlSize", 4), 4);
    EXPECT_EQ(store.GetString(u"General", u"AnommousEmail", u"guest@example.com"_s), u"guest@example.com"_s);
    EXPECT_EQ(store.GetString(u"Socks", u"SocksHost"), QString());

    WriteAll(path(), "[Advance]\nControlSize=8\n");
    EXPECT_EQ(store.GetInt(u"advance", u"CONTROLSIZE", 4), 8);
    EXPECT_EQ(store.GetInt(u"Advance", u"SendSize", 4), 4);
    EXPECT_EQ(store.GetInt(u"Socks", u"ControlSize", 1080), 1080);
}

TEST_F(SettingsStoreTest, IntegersReadAsTheirLeadingNumber) {
    WriteAll(path(), "[General]\nA=12abc\nB=abc\nC=\nD= -7 \nE=99999999999\n");
    const SettingsStore store(path());
    EXPECT_EQ(store.GetInt(u"General", u"A", 42), 12);
    EXPECT_EQ(store.GetInt(u"General", u"B", 42), 0);
    EXPECT_EQ(store.GetInt(u"General", u"C", 42), 0);
    EXPECT_EQ(store.GetInt(u"General", u"D", 42), -7);
    EXPECT_EQ(store.GetInt(u"General", u"E", 42), INT_MAX);
}

TEST_F(SettingsStoreTest, WrittenValuesReadBackAndLongStringsAreCut) {
    SettingsStore store(path());
    ASSERT_TRUE(store.WriteInt(u"General", u"WaitTimes", -12));
    EXPECT_EQ(store.GetInt(u"general", u"waittimes", 1), -12);
    EXPECT_EQ(ReadAll(path()), QByteArrayView("[General]\nWaitTimes=-12\n"));

    QString longText;
    for (int i = 0; i < 5000; ++i) {
        longText += QChar(u'a' + i % 26);
    }
    ASSERT_TRUE(store.WriteString(u"Miscellaneous", u"FileViewer", longText));
    EXPECT_EQ(store.GetString(u"Miscellaneous", u"FileViewer"), longText.left(4095));

    // The cut never leaves half of a surrogate pair.
    ASSERT_TRUE(store.WriteString(u"Miscellaneous", u"FileViewer", QString(4094, u'x') + u"\U0001F600"_s));
    EXPECT_EQ(store.GetString(u"Miscellaneous", u"FileViewer"), QString(4094, u'x'));
}

TEST_F(SettingsStoreTest, RewriteKeepsOtherLinesAndNeverDeletesKeys) {
    WriteAll(path(), "; hand-edited\r\n"
                     "[RecentFTPSite]\r\n"
                     "count = 3\r\n"
                     "Site0=0,a.example\r\n"
                     "Site1=1,b.example\r\n"
                     "Site2=2,c.example\r\n"
                     "[Socks]\r\n"
                     "SocksPass=secret\r\n");
    SettingsStore store(path());
    // The recent-site list shrinks: a new count and entries from 0; the key above the count stays.
    ASSERT_TRUE(store.WriteInt(u"RecentFTPSite", u"Count", 2));
    ASSERT_TRUE(store.WriteString(u"RecentFTPSite", u"Site0", u"1,b.example"_s));
    ASSERT_TRUE(store.WriteString(u"RecentFTPSite", u"Site1", u"0,a.example"_s));
    EXPECT_EQ(ReadAll(path()), QByteArrayView("; hand-edited\n"
                                              "[RecentFTPSite]\n"
                                              "count = 2\n"
                                              "Site0=1,b.example\n"
                                              "Site1=0,a.example\n"
                                              "Site2=2,c.example\n"
                                              "[Socks]\n"
                                              "SocksPass=secret\n"));
}

TEST_F(SettingsStoreTest, TransientValuesAreReadButNeverWritten) {
    const QByteArray file = "[General]\nUseTimeout=0\n";
    WriteAll(path(), file);
    SettingsStore store(path());
    store.SetTransient(u"General", u"UseTimeout", u"1"_s);
    store.SetTransient(u"general", u"USETIMEOUT", u"2"_s); // the same key: replaced
    store.SetTransient(u"Advance", u"IdleCmdList", u"NOOP"_s);
    EXPECT_EQ(store.GetInt(u"GENERAL", u"usetimeout", 0), 2);
    EXPECT_EQ(store.GetString(u"Advance", u"IdleCmdList"), u"NOOP"_s);
    EXPECT_EQ(ReadAll(path()), file);
    // Writes go to the file, the transient keys stay out of it and keep standing over it; copies
    // carry them, other stores of the file do not see them.
    ASSERT_TRUE(store.WriteInt(u"General", u"UseTimeout", 5));
    ASSERT_TRUE(store.WriteInt(u"General", u"RetryNumber", 3));
    EXPECT_EQ(ReadAll(path()), QByteArrayView("[General]\nUseTimeout=5\nRetryNumber=3\n"));
    const SettingsStore copy = store;
    EXPECT_EQ(copy.GetInt(u"General", u"UseTimeout", 0), 2);
    EXPECT_EQ(copy.GetInt(u"General", u"RetryNumber", 0), 3);
    EXPECT_EQ(SettingsStore(path()).GetInt(u"General", u"UseTimeout", 0), 5);
}

TEST_F(SettingsStoreTest, EveryReadSeesTheFileAsItIsNow) {
    SettingsStore writer(path());
    const SettingsStore reader(path());
    ASSERT_TRUE(writer.WriteInt(u"Advance", u"PasvMode", 0));
    EXPECT_EQ(reader.GetInt(u"Advance", u"PasvMode", 1), 0);
    WriteAll(path(), "[Advance]\nPasvMode=1\n");
    EXPECT_EQ(reader.GetInt(u"Advance", u"PasvMode", 0), 1);
    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_EQ(reader.GetInt(u"Advance", u"PasvMode", 7), 7);
}

TEST_F(SettingsStoreTest, AFileThatHasSettledIsStillSeenToChange) {
    // Once the file has not changed for a while its parsed form is kept; any change after that
    // (rewritten in place with the same size, replaced by a write, removed) is still seen.
    WriteAll(path(), "[General]\nRetryNumber=3\n");
    const SettingsStore reader(path());
    ::sleep(3);
    EXPECT_EQ(reader.GetInt(u"General", u"RetryNumber", 0), 3);
    EXPECT_EQ(reader.GetInt(u"General", u"RetryNumber", 0), 3);
    WriteAll(path(), "[General]\nRetryNumber=5\n");
    EXPECT_EQ(reader.GetInt(u"General", u"RetryNumber", 0), 5);
    SettingsStore writer(path());
    ASSERT_TRUE(writer.WriteInt(u"General", u"RetryNumber", 7));
    EXPECT_EQ(reader.GetInt(u"General", u"RetryNumber", 0), 7);
    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_EQ(reader.GetInt(u"General", u"RetryNumber", 9), 9);
}

TEST_F(SettingsStoreTest, ASharedLookReadsTheFileOnceUntilItEndsOrTheStoreWrites) {
    WriteAll(path(), "[General]\nRetryNumber=3\n");
    SettingsStore store(path());
    {
        const SettingsStore::SharedLook look(store);
        EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 0), 3);
        WriteAll(path(), "[General]\nRetryNumber=4\n");
        {
            const SettingsStore::SharedLook inner(store);
            EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 0), 3) << "a nested look shares the outer one";
        }
        EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 0), 3) << "the outer look still stands";
        const SettingsStore copy = store;
        EXPECT_EQ(copy.GetInt(u"General", u"RetryNumber", 0), 4) << "a copy starts outside the look";
        store.LookAgain();
        EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 0), 4);
        ASSERT_TRUE(store.WriteInt(u"General", u"RetryNumber", 5));
        EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 0), 5) << "its own write is seen at once";
        ASSERT_TRUE(QFile::remove(path()));
        EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 9), 5);
    }
    EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 9), 9) << "the look has ended";
}

TEST_F(SettingsStoreTest, FileIsOwnerOnlyAndItsDirectoryIsMade) {
    const QString nested = path(u"a/b/tessaly.INI"_s);
    SettingsStore store(nested);
    ASSERT_TRUE(store.WriteString(u"FtpProxy", u"PassWord", u"secret"_s));
    EXPECT_EQ(ModeOf(nested), kOwnerOnly);

    WriteAll(path(), "[FtpProxy]\nPassWord=old\n");
    ASSERT_TRUE(QFile::setPermissions(path(), kOwnerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    ASSERT_TRUE(SettingsStore(path()).WriteString(u"FtpProxy", u"PassWord", u"new"_s));
    EXPECT_EQ(ModeOf(path()), kOwnerOnly);
}

TEST_F(SettingsStoreTest, FailedWriteLeavesTheOldFileIntact) {
    // A name so long that the temporary file beside it (name plus a suffix) cannot be created, which
    // holds for root as well.
    const QString longName = QString(250, u'n');
    const QByteArray old = "[General]\nRetryNumber=3\n";
    WriteAll(path(longName), old);
    SettingsStore store(path(longName));
    EXPECT_FALSE(store.WriteInt(u"General", u"RetryNumber", 8));
    EXPECT_EQ(ReadAll(path(longName)), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);

    // A parent that is a regular file: the directory cannot be made.
    WriteAll(path(u"plain"_s), "x");
    EXPECT_FALSE(SettingsStore(path(u"plain/tessaly.INI"_s)).WriteInt(u"General", u"RetryNumber", 8));
}

// Every key of the settings table reads its default from a file without it, a number outside its
// reader's correction reads as the correction's value, and one save writes every key or none.
TEST_F(SettingsStoreTest, TheTableGivesEveryKeyItsDefaultAndOneSaveWritesThemAll) {
    const SettingsStore empty(path(u"empty.INI"_s));
    std::vector<SettingsStore::Write> values;
    for (const tessaly::SettingKey* key : tessaly::setting::kAllSettings) {
        SCOPED_TRACE(key->key.toString().toStdString());
        if (key->kind == tessaly::SettingKind::Text) {
            EXPECT_EQ(empty.Text(*key), key->defaultText.toString());
            values.push_back({key->section.toString(), key->key.toString(), u"x"_s + key->key.toString()});
        } else {
            EXPECT_EQ(empty.Number(*key), key->defaultNumber);
            EXPECT_TRUE(key->low <= key->defaultNumber && key->defaultNumber <= key->high);
            values.push_back({key->section.toString(), key->key.toString(), QString::number(key->high)});
        }
    }
    EXPECT_EQ(tessaly::setting::kAnommousEmail.defaultText.toString(),
              QString::fromLatin1(tessaly::FtpSession::kPlaceholderEmail));

    SettingsStore store(path());
    {
        const tessaly::test::FileSizeLimit limit(100); // the whole file does not fit: nothing is written
        EXPECT_FALSE(store.WriteAll(values));
    }
    EXPECT_FALSE(QFile::exists(path()));
    ASSERT_TRUE(store.WriteAll(values));
    for (const tessaly::SettingKey* key : tessaly::setting::kAllSettings) {
        if (key->kind == tessaly::SettingKind::Text) {
            EXPECT_EQ(store.Text(*key), u"x"_s + key->key.toString());
        } else {
            EXPECT_EQ(store.Number(*key), key->high) << key->key.toString().toStdString();
        }
    }
    // The readers' corrections: a chunk size of 9 kilobytes reads as 4, an idle interval of 5 as 30.
    ASSERT_TRUE(
        store.WriteAll({{u"Advance"_s, u"ReceiveSize"_s, u"9"_s}, {u"Advance"_s, u"IdleCommand"_s, u"5"_s}}));
    EXPECT_EQ(store.Number(tessaly::setting::kReceiveSize), 4);
    EXPECT_EQ(store.Number(tessaly::setting::kIdleCommand), 30);
}

// A write cut short (a full disk) fails the save and keeps the old file: it is never renamed over it.
TEST_F(SettingsStoreTest, CutWriteLeavesTheOldFileIntact) {
    const QByteArray old = "[General]\nRetryNumber=3\n";
    WriteAll(path(), old);
    SettingsStore store(path());
    {
        const tessaly::test::FileSizeLimit limit(10);
        EXPECT_FALSE(store.WriteString(u"General", u"Note", QString(200, u'x')));
    }
    EXPECT_EQ(ReadAll(path()), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
}

TEST_F(SettingsStoreTest, FailedWriteInReadOnlyDirectoryLeavesTheOldFileIntact) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    const QByteArray old = "[General]\nRetryNumber=3\n";
    WriteAll(path(), old);
    ASSERT_TRUE(QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_FALSE(SettingsStore(path()).WriteInt(u"General", u"RetryNumber", 8));
    QFile::setPermissions(dir_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadAll(path()), old);
}

TEST_F(SettingsStoreTest, OversizedFileIsNeitherReadNorReplaced) {
    QByteArray big = "[General]\nRetryNumber=5\n";
    big += QByteArray(tessaly::kIniMaxFileBytes + 1 - big.size(), ';');
    WriteAll(path(), big);
    SettingsStore store(path());
    EXPECT_EQ(store.GetInt(u"General", u"RetryNumber", 3), 3);
    EXPECT_FALSE(store.WriteInt(u"General", u"RetryNumber", 4));
    EXPECT_EQ(ReadAll(path()), big);
}

// Sets or unsets one environment variable for the life of the guard, then restores it.
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, std::optional<QByteArray> value) : name_(name) {
        if (qEnvironmentVariableIsSet(name)) {
            old_ = qgetenv(name);
        }
        Apply(value);
    }
    ~EnvironmentGuard() { Apply(old_); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    void Apply(const std::optional<QByteArray>& value) {
        if (value) {
            qputenv(name_, *value);
        } else {
            qunsetenv(name_);
        }
    }

    const char* name_;
    std::optional<QByteArray> old_;
};

TEST_F(SettingsStoreTest, ConfigDirectoryTakesOverrideThenXdgThenHome) {
    const QByteArray home = dir_.path().toUtf8();
    EnvironmentGuard homeGuard("HOME", home);
    EnvironmentGuard xdgGuard("XDG_CONFIG_HOME", QByteArray("/xdg/config"));
    {
        EnvironmentGuard overrideGuard("TESSALY_CONFIG_DIR", QByteArray("/override/dir"));
        EXPECT_EQ(tessaly::ConfigDirectory(), u"/override/dir"_s);
        EXPECT_EQ(SettingsStore::openDefault().filePath(), u"/override/dir/tessaly.INI"_s);
    }
    EnvironmentGuard emptyOverride("TESSALY_CONFIG_DIR", QByteArray(""));
    EXPECT_EQ(tessaly::ConfigDirectory(), u"/xdg/config/tessaly"_s);
    {
        EnvironmentGuard relative("XDG_CONFIG_HOME", QByteArray("relative/config"));
        EXPECT_EQ(tessaly::ConfigDirectory(), dir_.path() + u"/.config/tessaly"_s);
    }
    EnvironmentGuard unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(tessaly::ConfigDirectory(), dir_.path() + u"/.config/tessaly"_s);
}

} // namespace
