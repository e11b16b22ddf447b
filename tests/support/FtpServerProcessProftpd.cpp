// FtpServerProcess::Kind::Proftpd: the proftpd scripts/install-deps.sh unpacks, in the foreground,
// with only compiled-in modules.
#include "support/FtpServerProcess.h"

#include <QFile>
#include <QFileInfo>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::test {

using namespace Qt::StringLiterals;

bool FtpServerProcess::launchProftpd(QString* error) {
    const QString proftpd = QString::fromLatin1(kUnpackedPeersDir) + u"/proftpd/usr/sbin/proftpd"_s;
    if (!QFileInfo(proftpd).isExecutable()) {
        *error =
            QStringLiteral("cannot run proftpd: %1 is missing (run scripts/install-deps.sh)").arg(proftpd);
        return false;
    }
    // It chroots every session, and serves anonymous sessions as the ftp user.
    const struct passwd* nobody = ::getpwnam("nobody");
    const struct group* nogroup = ::getgrnam("nogroup");
    if (::geteuid() != 0 || !nobody || !nogroup) {
        *error = QStringLiteral("cannot run proftpd: it needs root, the user nobody and the group nogroup");
        return false;
    }
    const QString own = prepareUnpackedServer(QStringLiteral("proftpd"), error);
    if (own.isEmpty())
        return false;
    const QString passwd = own + u"/ftpd.passwd"_s;
    const QString group = own + u"/ftpd.group"_s;
    // The virtual user, with the uid and gid of nobody.
    const QString passwdLine =
        virtualUserEntry(nobody->pw_uid, nogroup->gr_gid) + u"::%1:/bin/false\n"_s.arg(root_);
    const QString groupLine = QStringLiteral("nogroup:x:%1:\n").arg(nogroup->gr_gid);
    const QString config = QStringLiteral("ServerName \"tessaly-test\"\n"
                                          "ServerType standalone\n"
                                          "Port %1\n"
                                          "DefaultAddress 127.0.0.1\n"
                                          "SocketBindTight on\n"
                                          "UseIPv6 off\n"
                                          "User nobody\n"
                                          "Group nogroup\n"
                                          "Umask 022\n"
                                          "PidFile %2/proftpd.pid\n"
                                          "ScoreboardFile %2/proftpd.scoreboard\n"
                                          "DelayTable none\n"
                                          "WtmpLog off\n"
                                          "UseReverseDNS off\n"
                                          "TransferLog %3\n"
                                          "PassivePorts %4 %5\n"
                                          "AllowOverwrite on\n"
                                          "AllowStoreRestart on\n"
                                          "AllowRetrieveRestart on\n"
                                          "RequireValidShell off\n"
                                          "AuthOrder mod_auth_file.c mod_auth_unix.c\n"
                                          "AuthUserFile %6\n"
                                          "AuthGroupFile %7\n"
                                          "DefaultRoot ~\n"
                                          "<Anonymous %8>\n"
                                          "  User ftp\n"
                                          "  Group nogroup\n"
                                          "  UserAlias anonymous ftp\n"
                                          "  RequireValidShell off\n"
                                          "  <Directory *>\n"
                                          "    <Limit WRITE SITE_CHMOD>\n"
                                          "      AllowAll\n"
                                          "    </Limit>\n"
                                          "  </Directory>\n"
                                          "</Anonymous>\n")
                               .arg(port_)
                               .arg(own, transferLog_)
                               .arg(passiveFirst_)
                               .arg(passiveLast_)
                               .arg(passwd, group, root_);
    const QString configPath = own + u"/proftpd.conf"_s;
    if (!writeFile(passwd, passwdLine.toUtf8()) ||
        ::chmod(QFile::encodeName(passwd).constData(), 0600) != 0 || !writeFile(group, groupLine.toUtf8()) ||
        !writeFile(configPath, config.toUtf8())) {
        *error = failure(QStringLiteral("cannot write its files in %1").arg(own));
        return false;
    }
    // -n: in the foreground, so the process started is the master; its sessions end with it.
    return startAndWaitForPort(proftpd, {QStringLiteral("-n"), QStringLiteral("-c"), configPath},
                               logFiles_[0], error);
}

} // namespace tessaly::test
