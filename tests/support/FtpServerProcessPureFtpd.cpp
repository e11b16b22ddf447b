// FtpServerProcess::Kind::PureFtpd: the pure-ftpd scripts/install-deps.sh unpacks, configured by its
// flags alone.
#include "support/FtpServerProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace tessaly::test {

using namespace Qt::StringLiterals;

namespace {

constexpr int kToolTimeoutMs = 30000;

} // namespace

bool FtpServerProcess::launchPureFtpd(QString* error) {
    const QString tree = QString::fromLatin1(kUnpackedPeersDir) + u"/pure-ftpd"_s;
    const QString pureFtpd = tree + u"/usr/sbin/pure-ftpd"_s;
    const QString purePw = tree + u"/usr/bin/pure-pw"_s;
    if (!QFileInfo(pureFtpd).isExecutable() || !QFileInfo(purePw).isExecutable()) {
        *error = QStringLiteral("cannot run pure-ftpd: %1 or %2 is missing (run scripts/install-deps.sh)")
                     .arg(pureFtpd, purePw);
        return false;
    }
    const QString unshare = QStandardPaths::findExecutable(
        QStringLiteral("unshare"), {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    if (unshare.isEmpty()) {
        *error =
            QStringLiteral("cannot run pure-ftpd: unshare is not installed (run scripts/install-deps.sh)");
        return false;
    }
    // Anonymous sessions always get the ftp user's home, which must exist for the bind mount.
    const struct passwd* ftp = ::getpwnam("ftp");
    const struct group* nogroup = ::getgrnam("nogroup");
    if (::geteuid() != 0 || !ftp || !nogroup || !QFileInfo(QFile::decodeName(ftp->pw_dir)).isDir()) {
        *error = QStringLiteral("cannot run pure-ftpd: it needs root, the group nogroup and the ftp user "
                                "with its home (run scripts/install-deps.sh)");
        return false;
    }
    const QString ftpHome = QFile::decodeName(ftp->pw_dir);
    const QString own = prepareUnpackedServer(QStringLiteral("pure-ftpd"), error);
    if (own.isEmpty())
        return false;
    const QString passwd = own + u"/pureftpd.passwd"_s;
    const QString database = own + u"/pureftpd.pdb"_s;
    // The virtual user runs as ftp:nogroup, chrooted ("/./") to the root. Its hash is SHA-256 crypt:
    // pure-pw's own argon2 costs seconds of CPU at every login.
    const QString passwdLine =
        virtualUserEntry(ftp->pw_uid, nogroup->gr_gid) + u"::%1/./::::::::::::\n"_s.arg(root_);
    if (!writeFile(passwd, passwdLine.toUtf8())) {
        *error = failure(QStringLiteral("cannot write %1").arg(passwd));
        return false;
    }
    QProcess mkdb;
    mkdb.setProcessChannelMode(QProcess::MergedChannels);
    mkdb.setStandardInputFile(QProcess::nullDevice());
    mkdb.start(purePw, {QStringLiteral("mkdb"), database, QStringLiteral("-f"), passwd});
    if (!mkdb.waitForFinished(kToolTimeoutMs) || mkdb.exitStatus() != QProcess::NormalExit ||
        mkdb.exitCode() != 0) {
        *error = failure(QStringLiteral("pure-pw mkdb failed: %1%2")
                             .arg(mkdb.errorString(), QString::fromLocal8Bit(mkdb.readAll())));
        if (mkdb.state() != QProcess::NotRunning) {
            mkdb.kill();
            mkdb.waitForFinished();
        }
        return false;
    }

    // unshare and sh both exec, so the process started is pure-ftpd itself; the bind mount exists only
    // in its own mount namespace. The paths go in as sh's positional parameters, never as code.
    const QStringList arguments{QStringLiteral("-m"),
                                QStringLiteral("/bin/sh"),
                                QStringLiteral("-c"),
                                QStringLiteral("mount --bind \"$1\" \"$2\" && shift 2 && exec \"$@\""),
                                QStringLiteral("sh"),
                                root_,
                                ftpHome,
                                pureFtpd,
                                QStringLiteral("-S"),
                                QStringLiteral("127.0.0.1,%1").arg(port_),
                                QStringLiteral("-p"),
                                QStringLiteral("%1:%2").arg(passiveFirst_).arg(passiveLast_),
                                QStringLiteral("-P"),
                                QStringLiteral("127.0.0.1"),
                                QStringLiteral("-l"),
                                QStringLiteral("puredb:") + database,
                                QStringLiteral("-M"),
                                QStringLiteral("-H"),
                                QStringLiteral("-A"),
                                QStringLiteral("-U"),
                                QStringLiteral("133:022"),
                                QStringLiteral("-O"),
                                QStringLiteral("clf:") + transferLog_,
                                QStringLiteral("-g"),
                                own + u"/pure-ftpd.pid"_s};
    return startAndWaitForPort(unshare, arguments, logFiles_[0], error);
}

} // namespace tessaly::test
