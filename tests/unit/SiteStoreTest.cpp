// The saved-site file "Favorites.dat" and the store over it: the byte layout read from a file written
// by hand, the load stopping at short or implausible records, round trips of any bytes, command ids,
// the damaged file kept beside the new one, private atomic saves and failed saves, and what a
// connection to a saved site starts with.
#include "sites/SiteStore.h"

#include "sites/SiteConnect.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

// "ORVANEWORKS", 7-bit packed.
const QByteArray kSignature("\x4F\xA9\x35\xE8\x2C\x5E\x9F\xD2\xE5\x14", 10);
// L = 44; "Lab", "h1", "bob", "pw" with their bytes' halves exchanged; port 2121; "/d"; empty note;
// zero filler.
const QByteArray kRecordLab("\x2C\x00\x00\x00"
                            "\x03\x00\x00\x00\xC4\x16\x26"
                            "\x02\x00\x00\x00\x86\x13"
                            "\x03\x00\x00\x00\x26\xF6\x26"
                            "\x02\x00\x00\x00\x07\x77"
                            "\x49\x08\x00\x00"
                            "\x02\x00\x00\x00\xF2\x46"
                            "\x00\x00\x00\x00"
                            "\x00\x00\x00\x00",
                            48);
// L = 36: "A", "h2", "x", empty password, path and note, port 21; a filler that is not zero is
// skipped by L, never read.
const QByteArray kRecordA("\x24\x00\x00\x00"
                          "\x01\x00\x00\x00\x14"
                          "\x02\x00\x00\x00\x86\x23"
                          "\x01\x00\x00\x00\x87"
                          "\x00\x00\x00\x00"
                          "\x15\x00\x00\x00"
                          "\x00\x00\x00\x00"
                          "\x00\x00\x00\x00"
                          "\xDE\xAD\xBE\xEF",
                          40);

SiteProfile Site(const char* label, const char* address, const char* user, const char* password, qint32 port,
                 const char* path, int id) {
    return {label, address, user, password, port, path, {}, id};
}

QByteArray WithLength(quint32 length, QByteArray record) {
    for (int i = 0; i < 4; ++i) {
        record[i] = static_cast<char>((length >> (8 * i)) & 0xff);
    }
    return record;
}

struct FormatCase {
    const char* name;
    QByteArray bytes;
    QList<QByteArray> labels;
    SiteFileState state;
};

TEST(SiteFile, LoadsWhatItCanAndSaysWhere) {
    // Inner lengths that overrun L: the label claims 100 bytes of a 36-byte record.
    QByteArray overrun = kRecordA;
    overrun[4] = 100;
    const FormatCase cases[] = {
        {"written by hand", kSignature + kRecordLab + kRecordA, {"Lab", "A"}, SiteFileState::Intact},
        {"signature only", kSignature, {}, SiteFileState::Intact},
        {"empty file", {}, {}, SiteFileState::Missing},
        {"short signature", kSignature.first(9), {}, SiteFileState::WrongSignature},
        {"wrong signature", PackSevenBit("ORVANEWORKX") + kRecordLab, {}, SiteFileState::WrongSignature},
        {"truncated record", kSignature + kRecordLab + kRecordA.chopped(1), {"Lab"}, SiteFileState::Damaged},
        {"truncated length", kSignature + kRecordLab + "\x24\x00", {"Lab"}, SiteFileState::Damaged},
        {"L above 899999999",
         kSignature + kRecordLab + WithLength(900000000, kRecordA),
         {"Lab"},
         SiteFileState::Damaged},
        {"L of 2^32 - 1",
         kSignature + kRecordLab + WithLength(0xffffffff, kRecordA),
         {"Lab"},
         SiteFileState::Damaged},
        {"L above the bytes left",
         kSignature + kRecordLab + WithLength(37, kRecordA),
         {"Lab"},
         SiteFileState::Damaged},
        {"L below 32",
         kSignature + kRecordLab + WithLength(31, kRecordA) + kRecordA,
         {"Lab"},
         SiteFileState::Damaged},
        {"inner length past L",
         kSignature + kRecordLab + overrun + kRecordA,
         {"Lab"},
         SiteFileState::Damaged},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedSiteFile parsed = ParseSiteFile(c.bytes);
        EXPECT_EQ(parsed.state, c.state);
        QList<QByteArray> labels;
        for (const SiteProfile& site : parsed.sites) {
            labels << site.label;
        }
        EXPECT_EQ(labels, c.labels);
    }
    // Every field of the file written by hand, and command ids from 3584 in file order.
    const ParsedSiteFile golden = ParseSiteFile(kSignature + kRecordLab + kRecordA);
    ASSERT_EQ(golden.sites.size(), 2);
    EXPECT_EQ(golden.sites[0], Site("Lab", "h1", "bob", "pw", 2121, "/d", 3584));
    EXPECT_EQ(golden.sites[1], Site("A", "h2", "x", "", 21, "", 3585));
}

TEST(SiteFile, AnyBytesRoundTripAndTheWriterFollowsTheLayout) {
    // Bytes that are not UTF-8, control bytes and ports outside 1..65535 are kept as stored.
    const QList<SiteProfile> sites = {
        {"caf\xe9 \xff\xfe", "h\x80", "us\xc3\x28r", QByteArray("p\x00w\xf0", 4), 70000, "/\xe9", "n\x01",
         3584},
        {{}, {}, {}, {}, -1, {}, {}, 3585},
        Site("Lab", "h1", "bob", "pw", 2121, "/d", 3586),
    };
    const ParsedSiteFile parsed = ParseSiteFile(SerializeSiteFile(sites));
    EXPECT_EQ(parsed.state, SiteFileState::Intact);
    EXPECT_EQ(parsed.sites, sites);
    // The writer's bytes are those written by hand, filler zero; empty texts still take their lengths.
    EXPECT_EQ(SerializeSiteFile({sites[2]}), kSignature + kRecordLab);
    EXPECT_EQ(SerializeSiteFile({Site("A", "h2", "x", "", 21, "", 0)}),
              kSignature + kRecordA.chopped(4) + QByteArray(4, '\0'));
    EXPECT_EQ(UnpackSevenBit(kSignature), "ORVANEWORKS");
}

unsigned Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class SiteStoreFile : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(u"config/Favorites.dat"_s); }
    void writeFile(const QByteArray& bytes) {
        QDir().mkpath(dir_.filePath(u"config"_s));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray read(const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir_;
};

TEST_F(SiteStoreFile, SavesPrivatelyIntoANewDirectoryAndLoadsBack) {
    SiteStore missing(path());
    const SiteLoadResult loaded = missing.Load();
    EXPECT_EQ(loaded.state, SiteFileState::Missing);
    EXPECT_TRUE(loaded.message.isEmpty());
    ASSERT_TRUE(missing.Add(Site("Lab", "h1", "bob", "pw", 2121, "/d", 0)).commandId);
    const SiteSaveResult saved = missing.Save();
    ASSERT_TRUE(saved.ok) << qPrintable(saved.error);
    EXPECT_TRUE(saved.message().isEmpty());
    EXPECT_EQ(read(path()), kSignature + kRecordLab);
    EXPECT_EQ(Mode(path()), 0600);
    // An older file readable by all becomes owner-only too.
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    ASSERT_TRUE(missing.Save().ok);
    EXPECT_EQ(Mode(path()), 0600);
    SiteStore again(path());
    EXPECT_EQ(again.Load().state, SiteFileState::Intact);
    EXPECT_EQ(again.Sites(), missing.Sites());
}

TEST_F(SiteStoreFile, CommandIdsStayUniqueUpToTheRangesEnd) {
    writeFile(kSignature + kRecordLab + kRecordA + kRecordLab);
    SiteStore store(path());
    store.Load();
    ASSERT_EQ(store.Sites().size(), 3);
    EXPECT_EQ(store.Sites()[2].commandId, 3586);
    EXPECT_EQ(store.Add(Site("D", "h", "u", "p", 21, "/", 0)).commandId, 3587);
    // After a deletion a new site does not get the id a remaining site holds.
    ASSERT_TRUE(store.Remove(3585));
    EXPECT_EQ(store.Add(Site("E", "h", "u", "p", 21, "/", 0)).commandId, 3588);
    while (store.Sites().size() < kMaxSites) {
        ASSERT_TRUE(store.Add(Site("F", "h", "u", "p", 21, "/", 0)).commandId);
    }
    const SiteAddResult full = store.Add(Site("G", "h", "u", "p", 21, "/", 0));
    EXPECT_FALSE(full.commandId);
    EXPECT_TRUE(full.error.contains(u"512"_s));
    // With 4095 taken, a freed id is used again.
    ASSERT_TRUE(store.Remove(3600));
    EXPECT_EQ(store.Add(Site("H", "h", "u", "p", 21, "/", 0)).commandId, 3600);
    std::set<int> ids;
    for (const SiteProfile& site : store.Sites()) {
        EXPECT_GE(site.commandId, kFirstSiteCommandId);
        EXPECT_LE(site.commandId, kLastSiteCommandId);
        ids.insert(site.commandId);
    }
    EXPECT_EQ(ids.size(), std::size_t(kMaxSites));
    EXPECT_EQ(store.FindByCommandId(3600)->label, "H");
    EXPECT_EQ(store.IndexOf(3584), 0);
}

TEST_F(SiteStoreFile, ADamagedFileIsKeptBesideTheFirstSave) {
    const struct {
        const char* name;
        QByteArray bytes;
        qsizetype sitesRead;
    } cases[] = {
        {"wrong signature", PackSevenBit("ORVANEWORKX") + kRecordLab, 0},
        {"record cut short", kSignature + kRecordLab + kRecordA.chopped(10) + "lost", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.bytes);
        const QString copy = path() + u".damaged"_s;
        QFile::remove(copy);
        SiteStore store(path());
        const SiteLoadResult loaded = store.Load();
        EXPECT_EQ(loaded.sitesRead, c.sitesRead);
        EXPECT_FALSE(loaded.message.isEmpty());
        ASSERT_TRUE(store.Add(Site("New", "h", "u", "p", 21, "/", 0)).commandId);
        const SiteSaveResult first = store.Save();
        ASSERT_TRUE(first.ok) << qPrintable(first.error);
        EXPECT_EQ(first.damagedCopy, copy);
        EXPECT_TRUE(first.message().contains(copy));
        EXPECT_EQ(read(copy), c.bytes);
        EXPECT_EQ(ParseSiteFile(read(path())).state, SiteFileState::Intact);
        // Said once: the next save just writes.
        const SiteSaveResult second = store.Save();
        EXPECT_TRUE(second.ok);
        EXPECT_TRUE(second.damagedCopy.isEmpty());
    }
    // A copy kept earlier is never replaced.
    writeFile(PackSevenBit("XRVANEWORKS"));
    SiteStore store(path());
    store.Load();
    const SiteSaveResult saved = store.Save();
    EXPECT_EQ(saved.damagedCopy, path() + u".damaged.2"_s);
    EXPECT_EQ(read(path() + u".damaged"_s), kSignature + kRecordLab + kRecordA.chopped(10) + "lost");
}

TEST_F(SiteStoreFile, AFailedSaveSaysWhyAndKeepsTheOldFile) {
    const QByteArray old = kSignature + kRecordA;
    writeFile(old);
    SiteStore store(path());
    store.Load();
    ASSERT_TRUE(store.Add(Site("Lab", "h1", "bob", "pw", 2121, "/d", 0)).commandId);
    SiteSaveResult failed;
    {
        const test::FileSizeLimit limit(20);
        failed = store.Save();
    }
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.message().contains(path())) << qPrintable(failed.message());
    EXPECT_EQ(read(path()), old);
    EXPECT_EQ(QDir(dir_.filePath(u"config"_s)).entryList(QDir::Files), QStringList{u"Favorites.dat"_s});
    EXPECT_TRUE(store.Save().ok); // nothing is left in the way

    // A directory that cannot be made: its place is taken by a file.
    QFile blocker(dir_.filePath(u"blocked"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    SiteStore nowhere(dir_.filePath(u"blocked/Favorites.dat"_s));
    EXPECT_FALSE(nowhere.Save().ok);
    EXPECT_FALSE(SiteStore().Save().ok);
}

TEST(SiteConnect, RefusesWhatCannotGoOnTheWireAndFillsInTheAnonymousPassword) {
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath(u"tessaly.INI"_s));
    settings.WriteString(u"General", u"AnommousEmail", u"me@example.org"_s);
    const struct {
        const char* name;
        SiteProfile site;
        const char* refusal; // part of the message, or nullptr when it connects
        const char* password;
    } cases[] = {
        {"plain", Site("S", "h", "bob", "pw", 2121, "/d", 3584), nullptr, "pw"},
        {"anonymous in any case", Site("S", "h", "ANONYMOUS", "", 21, "", 3584), nullptr, "me@example.org"},
        {"anonymous with a password", Site("S", "h", "anonymous", "x", 21, "", 3584), nullptr, "x"},
        {"user without password", Site("S", "h", "bob", "", 21, "", 3584), nullptr, ""},
        {"highest port", Site("S", "h", "bob", "pw", 65535, "/", 3584), nullptr, "pw"},
        {"port 0", Site("S", "h", "bob", "pw", 0, "/", 3584), "port 0", nullptr},
        {"port 65536", Site("S", "h", "bob", "pw", 65536, "/", 3584), "port 65536", nullptr},
        {"negative port", Site("S", "h", "bob", "pw", -21, "/", 3584), "port -21", nullptr},
        {"no address", Site("S", "", "bob", "pw", 21, "/", 3584), "no address", nullptr},
        {"CR in the user", Site("S", "h", "bob\r", "pw", 21, "/", 3584), "user name", nullptr},
        {"LF in the password", Site("S", "h", "bob", "p\nw", 21, "/", 3584), "password", nullptr},
        {"NUL in the path",
         {"S", "h", "bob", "pw", 21, QByteArray("/d\0x", 4), {}, 3584},
         "remote path",
         nullptr},
        {"LF in the address", Site("S", "h\nSITE x", "bob", "pw", 21, "/", 3584), "address", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SiteConnectResult result = SiteConnectRequest(c.site, settings);
        if (c.refusal) {
            EXPECT_FALSE(result.request);
            EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.refusal))) << qPrintable(result.error);
            EXPECT_TRUE(result.error.contains(u"\"S\""_s));
            continue;
        }
        ASSERT_TRUE(result.request) << qPrintable(result.error);
        EXPECT_EQ(result.request->host, c.site.address);
        EXPECT_EQ(result.request->userName, c.site.userName);
        EXPECT_EQ(result.request->password, c.password);
        EXPECT_EQ(result.request->port, c.site.port);
        EXPECT_EQ(result.request->directory, c.site.remotePath);
    }
}

} // namespace
} // namespace tessaly
