// Remote operations on each real server, passive, in incoming/: a directory made, renamed, renamed
// with its permissions changed, and a file's permissions changed alone; a chmod the server refuses; a
// tree deleted with its contents in listing order; a tree holding a link to a directory outside it; a
// refused RNFR; a rename with chmod onto a name that exists; a deleted directory's cached listings
// once it is there again. Each is checked on the server's disk and in the listing the engine shows.
#include "support/EventPump.h"
#include "support/TransferCases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;
using ServerKind = FtpServerProcess::Kind;

constexpr int kOperationTimeoutMs = 20000;
// The directory every server lets its user write into (their roots belong to root).
constexpr char kWritableDirectory[] = "/incoming";

constexpr ServerModeCase kPassiveServerCases[] = {
    {"Vsftpd", ServerKind::Vsftpd, true},
    {"Proftpd", ServerKind::Proftpd, true},
    {"PureFtpd", ServerKind::PureFtpd, true},
    {"Pyftpdlib", ServerKind::Pyftpdlib, true},
};

// What each server does where servers may differ, as the versions the tests run do it. Every one
// implements SITE CHMOD for its user; refusals come from the file's owner or the anonymous session.
struct ServerBehaviour {
    ServerKind server;
    // SITE CHMOD of a file that root owns: the servers that drop root get EPERM ("550").
    bool chmodsRootsFile;
    // SITE CHMOD from an anonymous session of a file the anonymous user (ftp) owns: vsftpd ("550
    // Permission denied.") and pure-ftpd ("550 Anonymous users can not change perms") never allow it.
    bool chmodsForAnonymous;
    // RNTO onto an existing file replaces it (rename(2)); onto an existing directory it is refused.
    bool renameReplacesFile;
    bool renameReplacesDirectory;
    // LIST shows a symbolic link as a link ("l" first), not as what it points at, nor leaves it out.
    bool listsLinksAsLinks;
};

constexpr ServerBehaviour kBehaviours[] = {
    {ServerKind::Vsftpd, false, false, true, false, true},
    {ServerKind::Proftpd, false, true, true, false, true},
    {ServerKind::PureFtpd, false, false, true, false, true},
    {ServerKind::Pyftpdlib, true, true, true, false, true},
};

const ServerBehaviour& BehaviourOf(ServerKind server) {
    return *std::find_if(std::begin(kBehaviours), std::end(kBehaviours),
                         [server](const ServerBehaviour& b) { return b.server == server; });
}

// "rwxr-x---" for 0750, as a listing line shows permissions after the type.
QByteArray ModeText(int mode) {
    QByteArray text;
    for (int shift = 6; shift >= 0; shift -= 3) {
        text += (mode >> shift & 4) ? 'r' : '-';
        text += (mode >> shift & 2) ? 'w' : '-';
        text += (mode >> shift & 1) ? 'x' : '-';
    }
    return text;
}

// The permissions a listing line shows, without the type: "rwxr-x---".
QByteArray Permissions(const RemoteItem& item) {
    return item.permissionText().toByteArray().left(9);
}

// A file's contents, "<directory>" for a directory, "<missing>" for nothing.
QByteArray FileContents(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return "<directory>";
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class RemoteOps : public ServerModeTest {
protected:
    void SetUp() override { TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server); }

    const ServerBehaviour& behaviour() const { return BehaviourOf(GetParam().server); }

    // The path on the server's disk of a name in incoming/.
    QString disk(const QString& name) const {
        return server->root() + QLatin1String(kWritableDirectory) + u'/' + name;
    }
    // Directories in incoming/, each level of `path` writable by every server's user.
    void makeDirectory(const QString& path) {
        ASSERT_TRUE(QDir().mkpath(disk(path)));
        for (QString level = path; !level.isEmpty(); level.truncate(qMax(0, int(level.lastIndexOf(u'/'))))) {
            ASSERT_EQ(::chmod(QFile::encodeName(disk(level)).constData(), 0777), 0) << qPrintable(level);
        }
    }
    void makeFile(const QString& name, const QByteArray& contents, int mode = 0644) {
        QFile file(disk(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(file.fileName());
        ASSERT_EQ(file.write(contents), contents.size());
        file.close();
        ASSERT_EQ(::chmod(QFile::encodeName(disk(name)).constData(), mode), 0);
    }
    int modeOnDisk(const QString& name) const {
        struct stat st {};
        return ::lstat(QFile::encodeName(disk(name)).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
    // Gives a file to whoever owns `owner`: a directory the server made is its user's.
    void chownLike(const QString& name, const QString& owner) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(disk(owner)).constData(), &st), 0);
        ASSERT_EQ(::chown(QFile::encodeName(disk(name)).constData(), st.st_uid, st.st_gid), 0);
    }

    // Logs in and goes into incoming/.
    void enter() {
        ASSERT_NO_FATAL_FAILURE(login());
        ASSERT_NO_FATAL_FAILURE(changeDirectory(kWritableDirectory));
    }
    void changeDirectory(const QByteArray& path) {
        ASSERT_NO_FATAL_FAILURE(run([&](SessionEngine& e) {
            e.ChangeDirectory(path, false);
            return true;
        }));
        ASSERT_EQ(h.engine().Session()->currentDirectory, path) << log();
    }

    // Runs an operation the engine must take, and waits until it and the listing that may follow it
    // are over. Keeps the log lines and the failure reports it gave.
    void run(const std::function<bool(SessionEngine&)>& operation) { run(h, operation); }
    void run(EngineHarness& harness, const std::function<bool(SessionEngine&)>& operation) {
        const qsizetype linesBefore = harness.view.lines().size();
        const qsizetype reportsBefore = harness.view.failureReports.size();
        const int idleBefore = harness.view.idleCount;
        ASSERT_TRUE(operation(harness.engine())) << "not taken\n" << harness.view.joined();
        const bool over = pumpEventsUntil(
            [&] {
                const FtpSession* session = harness.engine().Session();
                return harness.view.idleCount > idleBefore && session && !session->jobRunning &&
                       harness.engine().IsIdle() && harness.view.paneEnabled;
            },
            kOperationTimeoutMs);
        written_ = harness.view.lines().mid(linesBefore);
        reported_.clear();
        for (qsizetype i = reportsBefore; i < harness.view.failureReports.size(); ++i) {
            for (const FailureRecord& record : harness.view.failureReports[i]) {
                reported_.append(record.text);
            }
        }
        ASSERT_TRUE(over) << harness.view.joined() << qPrintable(server->logText().right(4000));
    }
    // The last operation's log, for failure messages.
    std::string log() const { return written_.join('\n').toStdString(); }
    // The commands the last operation sent, in order.
    QList<QByteArray> commands() const {
        QList<QByteArray> sent;
        for (const QByteArray& line : written_) {
            if (line.startsWith("COMMAND:>  ")) {
                sent.append(line.mid(11));
            }
        }
        return sent;
    }
    // The code of the final reply to the last operation's `command`, "" when it was not sent.
    QByteArray replyCode(QByteArrayView command) const {
        const qsizetype at = written_.indexOf("COMMAND:>  " + command.toByteArray());
        QByteArray code;
        for (qsizetype i = at + 1; at >= 0 && i < written_.size() && written_[i].startsWith("              ");
             ++i) {
            code = written_[i].mid(14, 3);
        }
        return code;
    }
    bool reported(QByteArrayView text) const {
        return std::any_of(reported_.begin(), reported_.end(),
                           [&](const QByteArray& record) { return record.startsWith(text); });
    }

    // The item of the shown listing with that name.
    std::optional<RemoteItem> shown(QByteArrayView name) { return Shown(h, name); }
    static std::optional<RemoteItem> Shown(EngineHarness& harness, QByteArrayView name) {
        const ListingItems& items = harness.engine().CurrentItems();
        for (const QList<RemoteItem>* group : {&items.directories, &items.files}) {
            for (const RemoteItem& item : *group) {
                if (item.name() == name) {
                    return item;
                }
            }
        }
        return std::nullopt;
    }
    // The listing shown is incoming/ as it is on disk: the same names, kinds and permissions.
    void expectListingMatchesDisk() {
        EXPECT_EQ(h.view.path, kWritableDirectory) << log();
        QStringList onDisk = QDir(disk({})).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        QStringList listed;
        for (const QByteArray& name : h.view.shownNames()) {
            listed.append(QString::fromUtf8(name));
        }
        onDisk.sort();
        listed.sort();
        ASSERT_EQ(listed, onDisk) << log();
        for (const QString& name : onDisk) {
            const std::optional<RemoteItem> item = shown(name.toUtf8());
            ASSERT_TRUE(item) << qPrintable(name);
            EXPECT_EQ(item->isDirectory(), QFileInfo(disk(name)).isDir()) << qPrintable(name);
            EXPECT_EQ(Permissions(*item), ModeText(modeOnDisk(name))) << qPrintable(name);
        }
    }

    QList<QByteArray> written_;
    QList<QByteArray> reported_;
};

// MKD, RNFR and RNTO, RNFR and RNTO and SITE CHMOD on the new name, SITE CHMOD alone: each followed by
// a listing that shows the change, which is on disk.
TEST_P(RemoteOps, MakeRenameAndChangePermissions) {
    ASSERT_NO_FATAL_FAILURE(makeFile(u"notes.txt"_s, "notes\n"));
    ASSERT_NO_FATAL_FAILURE(enter());

    ASSERT_NO_FATAL_FAILURE(run([](SessionEngine& e) { return e.MakeDirectory("made"); }));
    EXPECT_EQ(commands().first(), "MKD made") << log();
    EXPECT_EQ(replyCode("MKD made"), "257") << log();
    EXPECT_TRUE(QFileInfo(disk(u"made"_s)).isDir());
    ASSERT_TRUE(shown("made")) << log();
    EXPECT_TRUE(shown("made")->isDirectory());
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());

    ASSERT_NO_FATAL_FAILURE(run([](SessionEngine& e) { return e.RenameRemote("made", "renamed"); }));
    EXPECT_EQ(commands().mid(0, 3), (QList<QByteArray>{"RNFR made", "RNTO renamed", "CWD /incoming"}))
        << log();
    EXPECT_FALSE(QFileInfo::exists(disk(u"made"_s)));
    EXPECT_TRUE(QFileInfo(disk(u"renamed"_s)).isDir());
    EXPECT_FALSE(shown("made"));
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());

    const int made = modeOnDisk(u"renamed"_s);
    ASSERT_NE(made, 0750);
    ASSERT_NO_FATAL_FAILURE(
        run([made](SessionEngine& e) { return e.ApplyRemoteProperties("renamed", "kept", made, 0750); }));
    EXPECT_EQ(commands().mid(0, 4),
              (QList<QByteArray>{"RNFR renamed", "RNTO kept", "SITE CHMOD 750 kept", "CWD /incoming"}))
        << log();
    EXPECT_TRUE(reported_.isEmpty()) << log();
    EXPECT_FALSE(QFileInfo::exists(disk(u"renamed"_s)));
    EXPECT_EQ(modeOnDisk(u"kept"_s), 0750);
    ASSERT_TRUE(shown("kept")) << log();
    EXPECT_EQ(Permissions(*shown("kept")), "rwxr-x---");
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());

    // A file of the server's user, its permissions alone.
    ASSERT_NO_FATAL_FAILURE(chownLike(u"notes.txt"_s, u"kept"_s));
    ASSERT_NO_FATAL_FAILURE(
        run([](SessionEngine& e) { return e.ApplyRemoteProperties("notes.txt", "notes.txt", 0644, 0640); }));
    EXPECT_EQ(commands().mid(0, 2), (QList<QByteArray>{"SITE CHMOD 640 notes.txt", "CWD /incoming"}))
        << log();
    EXPECT_TRUE(reported_.isEmpty()) << log();
    EXPECT_EQ(modeOnDisk(u"notes.txt"_s), 0640);
    EXPECT_EQ(FileContents(disk(u"notes.txt"_s)), "notes\n");
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());
    EXPECT_TRUE(h.view.failureReports.isEmpty()) << h.view.joined();
}

// A SITE CHMOD the server refuses is reported with its reply, the mode stays and no listing follows;
// one it takes is not reported. First the server's user on a file of root's, then an anonymous
// session on a file of the anonymous user's.
TEST_P(RemoteOps, RefusedChmodIsReportedAsAFailure) {
    ASSERT_NO_FATAL_FAILURE(makeFile(u"roots.txt"_s, "root's\n"));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"ftps.txt"_s, "ftp's\n"));
    const struct passwd* ftp = ::getpwnam("ftp");
    ASSERT_NE(ftp, nullptr);
    ASSERT_EQ(::chown(QFile::encodeName(disk(u"ftps.txt"_s)).constData(), ftp->pw_uid, ftp->pw_gid), 0);
    ASSERT_NO_FATAL_FAILURE(enter());

    const auto expectOutcome = [&](EngineHarness& harness, const QString& name, bool taken) {
        const QByteArray command = "SITE CHMOD 600 " + name.toUtf8();
        const QByteArray code = replyCode(command);
        EXPECT_EQ(code.startsWith('2'), taken) << log();
        // A refusal is reported with the server's reply.
        EXPECT_EQ(reported(command) && reported(code), !taken) << log();
        EXPECT_EQ(modeOnDisk(name), taken ? 0600 : 0644);
        // A refusal is followed by no listing; what is shown keeps the mode the server kept.
        EXPECT_EQ(commands().contains("LIST"), taken) << log();
        const std::optional<RemoteItem> item = Shown(harness, name.toUtf8());
        ASSERT_TRUE(item) << qPrintable(name);
        EXPECT_EQ(Permissions(*item), ModeText(modeOnDisk(name)));
    };

    ASSERT_NO_FATAL_FAILURE(
        run([](SessionEngine& e) { return e.ApplyRemoteProperties("roots.txt", "roots.txt", 0644, 0600); }));
    expectOutcome(h, u"roots.txt"_s, behaviour().chmodsRootsFile);

    EngineHarness anonymous;
    anonymous.setInt(u"Advance", u"PasvMode", 1);
    anonymous.connect(server->port());
    ASSERT_TRUE(anonymous.waitIdle()) << anonymous.view.joined();
    ASSERT_NO_FATAL_FAILURE(run(anonymous, [](SessionEngine& e) {
        e.ChangeDirectory(kWritableDirectory, false);
        return true;
    }));
    ASSERT_NO_FATAL_FAILURE(run(anonymous, [](SessionEngine& e) {
        return e.ApplyRemoteProperties("ftps.txt", "ftps.txt", 0644, 0600);
    }));
    expectOutcome(anonymous, u"ftps.txt"_s, behaviour().chmodsForAnonymous);
}

// Three levels with files at each: every directory is listed, its contents deleted in the order of
// its listing, then it is left with CDUP and removed; at the end incoming/ is listed again. The order
// to expect comes from the same listings, fetched and cached beforehand.
TEST_P(RemoteOps, DeleteRemovesATreeInListingOrder) {
    ASSERT_NO_FATAL_FAILURE(makeDirectory(u"tree/mid/deep"_s));
    for (const QString& file : {u"tree/z-top.txt"_s, u"tree/a-top.txt"_s, u"tree/mid/m.txt"_s,
                                u"tree/mid/deep/y.txt"_s, u"tree/mid/deep/b.txt"_s, u"keep.txt"_s}) {
        ASSERT_NO_FATAL_FAILURE(makeFile(file, file.toUtf8()));
    }
    ASSERT_NO_FATAL_FAILURE(enter());
    const QList<QByteArray> directories{"/incoming/tree", "/incoming/tree/mid", "/incoming/tree/mid/deep"};
    for (const QByteArray& directory : directories) {
        ASSERT_NO_FATAL_FAILURE(changeDirectory(directory));
    }
    ASSERT_NO_FATAL_FAILURE(changeDirectory(kWritableDirectory));
    const std::function<QList<QByteArray>(const QByteArray&)> expected = [&](const QByteArray& directory) {
        const FolderCacheEntry* listed = h.engine().Session()->folderCache.Find(directory);
        if (!listed) {
            ADD_FAILURE() << "no listing of " << directory.constData();
            return QList<QByteArray>();
        }
        QList<QByteArray> sent{"CWD " + directory};
        for (qsizetype i = 0; i < listed->lineCount(); ++i) {
            const QByteArray name = listed->line(i).toByteArray().split(' ').last();
            const QByteArray path = directory + '/' + name;
            sent += directories.contains(path) ? expected(path) : QList<QByteArray>{"DELE " + path};
        }
        return sent + QList<QByteArray>{"CDUP", "RMD " + directory};
    };
    const QList<QByteArray> order = expected("/incoming/tree") + QList<QByteArray>{"CWD /incoming"};
    ASSERT_EQ(order.count("CDUP"), 3);
    ASSERT_EQ(order.size(), 3 + 5 + 2 * 3 + 1); // CWD, DELE, CDUP and RMD, the listing afterwards

    ASSERT_NO_FATAL_FAILURE(run([&](SessionEngine& e) { return e.DeleteItems({*shown("tree")}); }));
    QList<QByteArray> sent = commands();
    sent.removeIf([](const QByteArray& command) {
        return !command.startsWith("CWD ") && !command.startsWith("DELE ") && command != "CDUP" &&
               !command.startsWith("RMD ");
    });
    EXPECT_EQ(sent, order) << log();
    EXPECT_TRUE(reported_.isEmpty()) << log();
    EXPECT_EQ(commands().last(), "LIST") << log();
    EXPECT_FALSE(QFileInfo::exists(disk(u"tree"_s)));
    EXPECT_EQ(FileContents(disk(u"keep.txt"_s)), "keep.txt");
    EXPECT_EQ(h.engine().Session()->currentDirectory, kWritableDirectory);
    EXPECT_FALSE(shown("tree"));
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());
}

// A tree holding a link to a directory beside it: the delete never goes through the link, so the
// directory the link points at and its files are left whatever the server does with the link.
TEST_P(RemoteOps, DeleteLeavesWhatALinkPointsAt) {
    ASSERT_NO_FATAL_FAILURE(makeDirectory(u"outside/inner"_s));
    ASSERT_NO_FATAL_FAILURE(makeDirectory(u"linked/sub"_s));
    // Writable by the server's user: a delete that went through the link would succeed.
    ASSERT_NO_FATAL_FAILURE(makeFile(u"outside/o.txt"_s, "outside\n", 0666));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"outside/inner/i.txt"_s, "inner\n", 0666));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"linked/l.txt"_s, "linked\n"));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"linked/sub/s.txt"_s, "sub\n"));
    // Relative, so that it leads to the same place inside a chrooted session.
    ASSERT_TRUE(QFile::link(u"../../outside"_s, disk(u"linked/sub/link"_s)));
    ASSERT_NO_FATAL_FAILURE(enter());

    ASSERT_NO_FATAL_FAILURE(run([&](SessionEngine& e) { return e.DeleteItems({*shown("linked")}); }));
    for (const QByteArray& command : commands()) {
        EXPECT_FALSE(command.contains("/link/") || command.contains("outside")) << log();
    }
    EXPECT_EQ(FileContents(disk(u"outside/o.txt"_s)), "outside\n");
    EXPECT_EQ(FileContents(disk(u"outside/inner/i.txt"_s)), "inner\n");
    // Every server lists the link as one ("lrwxrwxrwx"): it is deleted with DELE, which removes the
    // link itself, and with it the whole tree goes.
    EXPECT_EQ(commands().contains("DELE /incoming/linked/sub/link"), behaviour().listsLinksAsLinks) << log();
    if (behaviour().listsLinksAsLinks) {
        EXPECT_EQ(replyCode("DELE /incoming/linked/sub/link"), "250") << log();
        EXPECT_TRUE(reported_.isEmpty()) << log();
        EXPECT_FALSE(QFileInfo::exists(disk(u"linked"_s)));
    }
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());
}

// A refused RNFR is reported and takes its RNTO, and a chmod after it, with it; the session goes on.
TEST_P(RemoteOps, RefusedRenameSendsNothingAfterIt) {
    ASSERT_NO_FATAL_FAILURE(enter());
    ASSERT_NO_FATAL_FAILURE(run([](SessionEngine& e) { return e.RenameRemote("missing", "other"); }));
    EXPECT_EQ(commands(), QList<QByteArray>{"RNFR missing"}) << log();
    EXPECT_TRUE(replyCode("RNFR missing").startsWith('5')) << log();
    EXPECT_TRUE(reported("RNFR missing")) << log();

    ASSERT_NO_FATAL_FAILURE(
        run([](SessionEngine& e) { return e.ApplyRemoteProperties("missing", "other", 0644, 0600); }));
    EXPECT_EQ(commands(), QList<QByteArray>{"RNFR missing"}) << log();
    EXPECT_TRUE(reported("RNFR missing")) << log();
    EXPECT_FALSE(QFileInfo::exists(disk(u"other"_s)));

    ASSERT_NO_FATAL_FAILURE(run([](SessionEngine& e) { return e.MakeDirectory("after"); }));
    EXPECT_TRUE(reported_.isEmpty()) << log();
    EXPECT_TRUE(QFileInfo(disk(u"after"_s)).isDir());
    EXPECT_TRUE(shown("after")) << log();
    ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());
}

// RNFR, RNTO onto a name that exists and SITE CHMOD on it: a file is replaced (and then changed), a
// directory is not (and the chmod is not sent). The report follows the server's reply and the listing
// the disk.
TEST_P(RemoteOps, RenameWithChmodOntoAnExistingName) {
    ASSERT_NO_FATAL_FAILURE(makeFile(u"first.txt"_s, "first\n"));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"second.txt"_s, "second\n"));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"target.txt"_s, "target\n"));
    ASSERT_NO_FATAL_FAILURE(enter());
    ASSERT_NO_FATAL_FAILURE(run([](SessionEngine& e) { return e.MakeDirectory("taken"); }));
    for (const QString& name : {u"first.txt"_s, u"second.txt"_s, u"target.txt"_s}) {
        ASSERT_NO_FATAL_FAILURE(chownLike(name, u"taken"_s));
    }
    const int takenMode = modeOnDisk(u"taken"_s);

    const auto renameOnto = [&](const QString& source, const QString& target, bool replaces) {
        const QByteArray from = source.toUtf8();
        const QByteArray to = target.toUtf8();
        const QByteArray contents = FileContents(disk(source));
        const QByteArray targetContents = FileContents(disk(target));
        const int targetMode = modeOnDisk(target);
        ASSERT_NO_FATAL_FAILURE(
            run([&](SessionEngine& e) { return e.ApplyRemoteProperties(from, to, 0644, 0600); }));
        const bool taken = replyCode("RNTO " + to).startsWith('2');
        EXPECT_EQ(taken, replaces) << log();
        EXPECT_EQ(commands().contains("SITE CHMOD 600 " + to), taken) << log();
        EXPECT_EQ(reported("RNTO " + to), !taken) << log();
        EXPECT_EQ(QFileInfo::exists(disk(source)), !taken);
        if (taken) {
            EXPECT_EQ(FileContents(disk(target)), contents);
            EXPECT_EQ(modeOnDisk(target), 0600);
        } else {
            EXPECT_EQ(FileContents(disk(source)), contents);
            EXPECT_EQ(modeOnDisk(source), 0644);
            EXPECT_EQ(FileContents(disk(target)), targetContents);
            EXPECT_EQ(modeOnDisk(target), targetMode);
        }
        ASSERT_NO_FATAL_FAILURE(expectListingMatchesDisk());
    };
    renameOnto(u"first.txt"_s, u"target.txt"_s, behaviour().renameReplacesFile);
    renameOnto(u"second.txt"_s, u"taken"_s, behaviour().renameReplacesDirectory);
    EXPECT_EQ(modeOnDisk(u"taken"_s), behaviour().renameReplacesDirectory ? 0600 : takenMode);
}

// With the directory cache on, a directory and the one below it are listed, the tree is deleted and
// made again on the server's disk with other contents (as another client would, so that only the
// delete can have dropped the cached listings): entering each lists it afresh.
TEST_P(RemoteOps, DeletedDirectoryIsListedAfreshWhenItIsBack) {
    h.setInt(u"Advance", u"FolderCatch", 1);
    ASSERT_NO_FATAL_FAILURE(makeDirectory(u"cached/inner"_s));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"cached/old.txt"_s, "old\n"));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"cached/inner/old-inner.txt"_s, "old\n"));
    ASSERT_NO_FATAL_FAILURE(enter());
    ASSERT_NO_FATAL_FAILURE(changeDirectory("/incoming/cached"));
    ASSERT_NO_FATAL_FAILURE(changeDirectory("/incoming/cached/inner"));
    EXPECT_EQ(h.view.shownNames(), QList<QByteArray>{"old-inner.txt"});
    // Back from the cache: CWD alone.
    ASSERT_NO_FATAL_FAILURE(changeDirectory(kWritableDirectory));
    EXPECT_EQ(commands(), QList<QByteArray>{"CWD /incoming"}) << log();
    const FolderCache& cache = h.engine().Session()->folderCache;
    ASSERT_TRUE(cache.Find("/incoming/cached") && cache.Find("/incoming/cached/inner"));

    ASSERT_NO_FATAL_FAILURE(run([&](SessionEngine& e) { return e.DeleteItems({*shown("cached")}); }));
    EXPECT_TRUE(reported_.isEmpty()) << log();
    EXPECT_FALSE(cache.Find("/incoming/cached") || cache.Find("/incoming/cached/inner"));
    ASSERT_FALSE(QFileInfo::exists(disk(u"cached"_s)));
    ASSERT_NO_FATAL_FAILURE(makeDirectory(u"cached/inner"_s));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"cached/new.txt"_s, "new\n"));
    ASSERT_NO_FATAL_FAILURE(makeFile(u"cached/inner/new-inner.txt"_s, "new\n"));

    ASSERT_NO_FATAL_FAILURE(changeDirectory("/incoming/cached"));
    EXPECT_TRUE(commands().contains("LIST")) << log();
    EXPECT_EQ(h.view.shownNames(), (QList<QByteArray>{"inner", "new.txt"})) << log();
    ASSERT_NO_FATAL_FAILURE(changeDirectory("/incoming/cached/inner"));
    EXPECT_TRUE(commands().contains("LIST")) << log();
    EXPECT_EQ(h.view.shownNames(), QList<QByteArray>{"new-inner.txt"}) << log();
}

INSTANTIATE_TEST_SUITE_P(RealServers, RemoteOps, ::testing::ValuesIn(kPassiveServerCases), NameOfCase());

} // namespace
} // namespace tessaly::test
