#include "support/ProxyProcess.h"

#include "support/PortUtils.h"
#include "support/ProcessUtils.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <grp.h>
#include <ostream>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace tessaly::test {

using namespace Qt::StringLiterals;

namespace {

constexpr int kStartAttempts = 3;
constexpr int kStartTimeoutMs = 15000;
constexpr int kToolTimeoutMs = 30000;
constexpr int kStopGraceMs = 2000;
constexpr int kModProxyPassivePorts = 10;

// Where scripts/install-deps.sh unpacks proftpd-core and proftpd-mod-proxy.
constexpr char kProftpdDir[] = "/var/cache/tessaly-peers/proftpd";

constexpr char kProxyUser[] = "puser";
constexpr char kProxyPassword[] = "ppass";
// crypt(3) SHA-256 of kProxyPassword ("openssl passwd -5 -salt tessalyproxy ppass").
constexpr char kProxyPasswordHash[] = "$5$tessalyproxy$GP6/pssdQHyQvaR81JQ73E7Cv3zlBWHLd2W3nzuHkQD";
// The system user scripts/install-deps.sh makes; dante's username method checks /etc/shadow.
constexpr char kSystemUser[] = "tessftp";
constexpr char kSystemPassword[] = "secret";

bool writeFile(const QString& path, const QString& text) {
    QFile file(path);
    const QByteArray data = text.toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// An executable on PATH or in the system directories (root's PATH may lack /usr/sbin).
QString findProgram(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(
        name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")});
}

// The account the daemons drop to.
struct Nobody {
    uid_t uid = 0;
    gid_t gid = 0;
    QString group;
};

bool lookUpNobody(Nobody* nobody) {
    const struct passwd* user = ::getpwnam("nobody");
    if (!user)
        return false;
    nobody->uid = user->pw_uid;
    nobody->gid = user->pw_gid;
    const struct group* group = ::getgrgid(user->pw_gid);
    nobody->group = group ? QString::fromLocal8Bit(group->gr_name) : QString::number(user->pw_gid);
    return true;
}

// Hands `path` and everything below it to uid:gid.
bool chownTree(const QString& path, uid_t uid, gid_t gid) {
    bool ok = ::chown(QFile::encodeName(path).constData(), uid, gid) == 0;
    QDirIterator entries(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        ok = ::chown(QFile::encodeName(entries.next()).constData(), uid, gid) == 0 && ok;
    return ok;
}

// Socket inodes of the TCP listeners on 127.0.0.1:port or 0.0.0.0:port, from /proc/net/tcp.
QList<QByteArray> listenerInodes(quint16 port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    const QByteArray suffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QList<QByteArray> inodes;
    table.readLine(); // header
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        if (fields.size() < 10 || fields[3] != "0A")
            continue;
        if (fields[1] == "0100007F" + suffix || fields[1] == "00000000" + suffix)
            inodes.append(fields[9]);
    }
    return inodes;
}

// True when `pid` or one of its descendants holds the listening socket on 127.0.0.1:port, so that a
// port someone else took in the meantime is not mistaken for the proxy being ready.
bool listensOn(qint64 pid, quint16 port) {
    const QList<QByteArray> inodes = listenerInodes(port);
    if (inodes.isEmpty())
        return false;
    QList<qint64> processes = DescendantPids(pid);
    processes.prepend(pid);
    for (qint64 process : processes) {
        QDirIterator fds(QStringLiteral("/proc/%1/fd").arg(process), QDir::AllEntries | QDir::System);
        while (fds.hasNext()) {
            // readlink(2), not QFile::symLinkTarget(): "socket:[inode]" is no path to resolve.
            char target[64];
            const ssize_t length =
                ::readlink(QFile::encodeName(fds.next()).constData(), target, sizeof target);
            if (length <= 0)
                continue;
            const QByteArray link(target, length);
            for (const QByteArray& inode : inodes) {
                if (link == "socket:[" + inode + ']')
                    return true;
            }
        }
    }
    return false;
}

// Ends one daemon and whatever it forked. The children are listed first: once the master is gone they
// belong to init and can no longer be found from it (sshd's sessions outlive their master).
void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning || process.waitForFinished(0))
        return;
    const qint64 master = process.processId();
    const QList<qint64> children = DescendantPids(master);
    ::kill(static_cast<pid_t>(master), SIGTERM);
    if (!process.waitForFinished(kStopGraceMs)) {
        process.kill();
        process.waitForFinished(kStopGraceMs);
    }
    EndProcesses(children, kStopGraceMs);
}

// Runs a short tool to its end; false with *error holding its output when it fails.
bool runTool(const QString& program, const QStringList& arguments, QString* error) {
    QProcess tool;
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (tool.waitForFinished(kToolTimeoutMs) && tool.exitStatus() == QProcess::NormalExit &&
        tool.exitCode() == 0)
        return true;
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished(kStopGraceMs);
    }
    *error =
        QStringLiteral("%1 %2 failed: %3\n%4")
            .arg(program, arguments.join(u' '), tool.errorString(), QString::fromUtf8(tool.readAll()));
    return false;
}

QString cannotRun(const QString& name, const QString& why) {
    return QStringLiteral("cannot run %1: %2").arg(name, why);
}

QString notInstalled(const QString& program) {
    return QStringLiteral("%1 is not installed (run scripts/install-deps.sh)").arg(program);
}

} // namespace

void PrintTo(ProxyProcess::Kind kind, std::ostream* out) {
    *out << ProxyProcess::kindName(kind).toStdString();
}

void PrintTo(ProxyProcess::Method method, std::ostream* out) {
    *out << ProxyProcess::methodName(method).toStdString();
}

ProxyProcess::ProxyProcess(Kind kind, const QList<quint16>& allowedTargetPorts)
    : kind_(kind), allowedTargetPorts_(allowedTargetPorts) {}

ProxyProcess::~ProxyProcess() {
    stop();
}

std::unique_ptr<ProxyProcess> ProxyProcess::start(Kind kind, const QList<quint16>& allowedTargetPorts,
                                                  QString* error) {
    QString reason;
    // A port picked free can be taken by someone else before the proxy binds it: try again then.
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        std::unique_ptr<ProxyProcess> proxy(new ProxyProcess(kind, allowedTargetPorts));
        if (proxy->launch(&reason))
            return proxy;
        if (reason.startsWith(u"cannot run"))
            break;
    }
    if (error)
        *error = reason;
    return nullptr;
}

QString ProxyProcess::kindName(Kind kind) {
    switch (kind) {
    case Kind::DanteNone:
        return QStringLiteral("dante (no authentication)");
    case Kind::DanteUser:
        return QStringLiteral("dante (username)");
    case Kind::Microsocks:
        return QStringLiteral("microsocks");
    case Kind::MicrosocksUser:
        return QStringLiteral("microsocks (username)");
    case Kind::SshDynamic:
        return QStringLiteral("ssh -D");
    case Kind::Tinyproxy:
        return QStringLiteral("tinyproxy");
    case Kind::TinyproxyBasic:
        return QStringLiteral("tinyproxy (BasicAuth)");
    case Kind::FtpProxySuite:
        return QStringLiteral("ftp-proxy");
    case Kind::ProftpdModProxy:
        return QStringLiteral("proftpd mod_proxy");
    }
    return {};
}

QString ProxyProcess::methodName(Method method) {
    switch (method) {
    case Method::UserAtHost:
        return QStringLiteral("user@host");
    case Method::ProxyUserThenUserAtHost:
        return QStringLiteral("proxyuser,user@host");
    case Method::ProxyUserAtHostThenUser:
        return QStringLiteral("proxyuser@host,user");
    }
    return {};
}

quint16 ProxyProcess::port(Method method) const {
    const auto index = static_cast<qsizetype>(method);
    return index < methodPorts_.size() ? methodPorts_.at(index) : port_;
}

QString ProxyProcess::user() const {
    switch (kind_) {
    case Kind::DanteUser:
        return QString::fromLatin1(kSystemUser);
    case Kind::MicrosocksUser:
    case Kind::TinyproxyBasic:
    case Kind::ProftpdModProxy:
        return QString::fromLatin1(kProxyUser);
    default:
        return {};
    }
}

QString ProxyProcess::password() const {
    if (kind_ == Kind::DanteUser)
        return QString::fromLatin1(kSystemPassword);
    return user().isEmpty() ? QString() : QString::fromLatin1(kProxyPassword);
}

QList<qint64> ProxyProcess::pids() const {
    QList<qint64> all;
    for (const Daemon& daemon : daemons_)
        all.append(daemon.pid);
    return all;
}

QString ProxyProcess::logText() const {
    QString text;
    for (const QString& file : logFiles_)
        text += QStringLiteral("--- %1\n%2").arg(file, ReadTextFile(file));
    return text;
}

QString ProxyProcess::failure(const QString& what) const {
    return QStringLiteral("%1 did not start: %2\n%3").arg(kindName(kind_), what, logText());
}

void ProxyProcess::stop() {
    // The client end first: ssh before the sshd it is logged in to.
    for (auto daemon = daemons_.rbegin(); daemon != daemons_.rend(); ++daemon)
        stopProcess(*daemon->process);
}

bool ProxyProcess::launch(QString* error) {
    if (!dir_.isValid()) {
        *error = cannotRun(kindName(kind_), u"no temporary directory: "_s + dir_.errorString());
        return false;
    }
    // QTemporaryDir is 0700; daemons that drop privileges must still reach their files.
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);

    bool started = false;
    switch (kind_) {
    case Kind::DanteNone:
    case Kind::DanteUser:
        started = launchDante(error);
        break;
    case Kind::Microsocks:
    case Kind::MicrosocksUser:
        started = launchMicrosocks(error);
        break;
    case Kind::SshDynamic:
        started = launchSshDynamic(error);
        break;
    case Kind::Tinyproxy:
    case Kind::TinyproxyBasic:
        started = launchTinyproxy(error);
        break;
    case Kind::FtpProxySuite:
        started = launchFtpProxy(error);
        break;
    case Kind::ProftpdModProxy:
        started = launchModProxy(error);
        break;
    }
    if (!started)
        stop();
    return started;
}

bool ProxyProcess::startDaemon(const QString& name, const QString& program, const QStringList& arguments,
                               const QString& outputFile, const QList<quint16>& ports, QString* error,
                               const QProcessEnvironment& environment) {
    daemons_.push_back({name, std::make_unique<QProcess>()});
    QProcess& process = *daemons_.back().process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(outputFile);
    process.start(program, arguments);
    if (!process.waitForStarted(kStartTimeoutMs)) {
        *error = failure(QStringLiteral("%1: %2").arg(name, process.errorString()));
        return false;
    }
    const qint64 pid = process.processId();
    daemons_.back().pid = pid;
    if (ports.contains(port_))
        pid_ = pid;

    const QDeadlineTimer deadline(kStartTimeoutMs);
    for (quint16 port : ports) {
        while (!listensOn(pid, port)) {
            if (process.waitForFinished(50) || process.state() == QProcess::NotRunning) {
                *error =
                    failure(QStringLiteral("%1 exited with status %2").arg(name).arg(process.exitCode()));
                return false;
            }
            if (deadline.hasExpired()) {
                *error = failure(QStringLiteral("%1 never listened on port %2").arg(name).arg(port));
                return false;
            }
        }
        if (!listening_.contains(port))
            listening_.append(port);
    }
    return true;
}

bool ProxyProcess::launchDante(QString* error) {
    const QString name = kindName(kind_);
    const QString danted = findProgram(QStringLiteral("danted"));
    if (danted.isEmpty()) {
        *error = cannotRun(name, notInstalled(QStringLiteral("danted")));
        return false;
    }
    if (::geteuid() != 0) {
        *error = cannotRun(name, QStringLiteral("it needs root"));
        return false;
    }
    const bool username = kind_ == Kind::DanteUser;
    if (username && !::getpwnam(kSystemUser)) {
        *error = cannotRun(
            name,
            QStringLiteral("no user %1 (run scripts/install-deps.sh)").arg(QString::fromLatin1(kSystemUser)));
        return false;
    }
    port_ = FindFreeTcpPortRange(1);
    if (port_ == 0) {
        *error = failure(QStringLiteral("no free port on 127.0.0.1"));
        return false;
    }

    const QString log = path(QStringLiteral("danted.log"));
    const QString output = path(QStringLiteral("danted.out"));
    logFiles_ = {output, log};
    // Rule bodies take one keyword per line.
    const QString config = QStringLiteral("logoutput: %1\n"
                                          "internal: 127.0.0.1 port = %2\n"
                                          "external: 127.0.0.1\n"
                                          "clientmethod: none\n"
                                          "socksmethod: %3\n"
                                          "user.privileged: root\n"
                                          "user.unprivileged: nobody\n"
                                          "client pass {\n"
                                          "  from: 127.0.0.0/8 to: 0.0.0.0/0\n"
                                          "  log: error\n"
                                          "}\n"
                                          "socks pass {\n"
                                          "  from: 127.0.0.0/8 to: 127.0.0.0/8\n"
                                          "  command: connect bind bindreply\n"
                                          "  log: error connect\n"
                                          "}\n")
                               .arg(log)
                               .arg(port_)
                               .arg(username ? u"username"_s : u"none"_s);
    const QString configPath = path(QStringLiteral("danted.conf"));
    if (!writeFile(configPath, config)) {
        *error = failure(QStringLiteral("cannot write %1").arg(configPath));
        return false;
    }
    return startDaemon(
        QStringLiteral("danted"), danted,
        {QStringLiteral("-f"), configPath, QStringLiteral("-p"), path(QStringLiteral("danted.pid"))}, output,
        {port_}, error);
}

bool ProxyProcess::launchMicrosocks(QString* error) {
    const QString microsocks = findProgram(QStringLiteral("microsocks"));
    if (microsocks.isEmpty()) {
        *error = cannotRun(kindName(kind_), notInstalled(QStringLiteral("microsocks")));
        return false;
    }
    port_ = FindFreeTcpPortRange(1);
    if (port_ == 0) {
        *error = failure(QStringLiteral("no free port on 127.0.0.1"));
        return false;
    }
    const QString output = path(QStringLiteral("microsocks.log"));
    logFiles_ = {output};
    // Without -i and -p it would listen on 0.0.0.0:1080.
    QStringList arguments{QStringLiteral("-i"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                          QString::number(port_)};
    if (kind_ == Kind::MicrosocksUser) {
        arguments << QStringLiteral("-u") << QString::fromLatin1(kProxyUser) << QStringLiteral("-P")
                  << QString::fromLatin1(kProxyPassword);
    }
    return startDaemon(QStringLiteral("microsocks"), microsocks, arguments, output, {port_}, error);
}

bool ProxyProcess::launchSshDynamic(QString* error) {
    const QString name = kindName(kind_);
    const QString sshd = findProgram(QStringLiteral("sshd")); // sshd insists on an absolute path
    const QString ssh = findProgram(QStringLiteral("ssh"));
    const QString keygen = findProgram(QStringLiteral("ssh-keygen"));
    for (const auto& [program, found] :
         {std::pair{u"sshd"_s, sshd}, std::pair{u"ssh"_s, ssh}, std::pair{u"ssh-keygen"_s, keygen}}) {
        if (found.isEmpty()) {
            *error = cannotRun(name, notInstalled(program));
            return false;
        }
    }
    const struct passwd* self = ::getpwuid(::geteuid());
    if (!self) {
        *error = cannotRun(name, QStringLiteral("the current user has no passwd entry"));
        return false;
    }
    const QString login = QString::fromLocal8Bit(self->pw_name);
    // sshd's privilege separation directory; /run is emptied at boot.
    if (::geteuid() == 0 && !QDir().mkpath(QStringLiteral("/run/sshd"))) {
        *error = cannotRun(name, QStringLiteral("cannot create /run/sshd"));
        return false;
    }

    const quint16 first = FindFreeTcpPortRange(2);
    if (first == 0) {
        *error = failure(QStringLiteral("no two free ports on 127.0.0.1"));
        return false;
    }
    const quint16 sshdPort = first;
    port_ = static_cast<quint16>(first + 1);

    const QString hostKey = path(QStringLiteral("ssh_host_key"));
    const QString clientKey = path(QStringLiteral("ssh_client_key"));
    const QString authorizedKeys = path(QStringLiteral("authorized_keys"));
    for (const QString& key : {hostKey, clientKey}) {
        if (!runTool(keygen,
                     {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                      QStringLiteral("-N"), QString(), QStringLiteral("-C"), u"tessaly-test"_s,
                      QStringLiteral("-f"), key},
                     error)) {
            *error = failure(*error);
            return false;
        }
    }
    if (!QFile::copy(clientKey + u".pub"_s, authorizedKeys)) {
        *error = failure(QStringLiteral("cannot write %1").arg(authorizedKeys));
        return false;
    }

    const QString sshdLog = path(QStringLiteral("sshd.log"));
    const QString sshLog = path(QStringLiteral("ssh.log"));
    logFiles_ = {sshLog, sshdLog};
    const QString config = QStringLiteral("ListenAddress 127.0.0.1\n"
                                          "Port %1\n"
                                          "HostKey %2\n"
                                          "PidFile %3\n"
                                          "AuthorizedKeysFile %4\n"
                                          "PasswordAuthentication no\n"
                                          "KbdInteractiveAuthentication no\n"
                                          "PermitRootLogin prohibit-password\n"
                                          "StrictModes no\n"
                                          "AllowTcpForwarding yes\n"
                                          "UsePAM no\n"
                                          "LogLevel VERBOSE\n")
                               .arg(sshdPort)
                               .arg(hostKey, path(QStringLiteral("sshd.pid")), authorizedKeys);
    const QString configPath = path(QStringLiteral("sshd_config"));
    if (!writeFile(configPath, config)) {
        *error = failure(QStringLiteral("cannot write %1").arg(configPath));
        return false;
    }
    // As root, sshd (which resolves the targets of the forwarded connections) runs in a mount
    // namespace of its own where kProxyOnlyHostName resolves to 127.0.0.1: a name only the proxy
    // can resolve, for the SOCKS4A and SOCKS5 name forms.
    const QString unshare = findProgram(QStringLiteral("unshare"));
    QString hostsText = ReadTextFile(QStringLiteral("/etc/hosts"));
    hostsText += QStringLiteral("\n127.0.0.1 %1\n").arg(QString::fromLatin1(kProxyOnlyHostName));
    const QString hosts = path(QStringLiteral("hosts"));
    const bool ownHosts = ::geteuid() == 0 && !unshare.isEmpty() && writeFile(hosts, hostsText);
    const QStringList sshdArguments{QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                                    configPath};
    const bool sshdStarted =
        ownHosts ? startDaemon(QStringLiteral("sshd"), unshare,
                               QStringList{QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                                           QStringLiteral("mount --bind \"$0\" /etc/hosts && exec \"$@\""),
                                           hosts, sshd} +
                                   sshdArguments,
                               sshdLog, {sshdPort}, error)
                 : startDaemon(QStringLiteral("sshd"), sshd, sshdArguments, sshdLog, {sshdPort}, error);
    if (!sshdStarted)
        return false;

    // -v logs each forwarded connection with its target when it closes.
    const QStringList arguments{QStringLiteral("-v"),
                                QStringLiteral("-N"),
                                QStringLiteral("-D"),
                                QStringLiteral("127.0.0.1:%1").arg(port_),
                                QStringLiteral("-F"),
                                QStringLiteral("/dev/null"),
                                QStringLiteral("-i"),
                                clientKey,
                                QStringLiteral("-p"),
                                QString::number(sshdPort),
                                QStringLiteral("-o"),
                                QStringLiteral("BatchMode=yes"),
                                QStringLiteral("-o"),
                                QStringLiteral("IdentitiesOnly=yes"),
                                QStringLiteral("-o"),
                                QStringLiteral("StrictHostKeyChecking=no"),
                                QStringLiteral("-o"),
                                QStringLiteral("UserKnownHostsFile=/dev/null"),
                                QStringLiteral("-o"),
                                QStringLiteral("ExitOnForwardFailure=yes"),
                                QStringLiteral("%1@127.0.0.1").arg(login)};
    return startDaemon(QStringLiteral("ssh"), ssh, arguments, sshLog, {port_}, error);
}

bool ProxyProcess::launchTinyproxy(QString* error) {
    const QString name = kindName(kind_);
    const QString tinyproxy = findProgram(QStringLiteral("tinyproxy"));
    if (tinyproxy.isEmpty()) {
        *error = cannotRun(name, notInstalled(QStringLiteral("tinyproxy")));
        return false;
    }
    Nobody nobody;
    if (::geteuid() != 0 || !lookUpNobody(&nobody)) {
        *error = cannotRun(name, QStringLiteral("it needs root and the user nobody"));
        return false;
    }
    port_ = FindFreeTcpPortRange(1);
    if (port_ == 0) {
        *error = failure(QStringLiteral("no free port on 127.0.0.1"));
        return false;
    }

    // tinyproxy drops to nobody before it opens its log and pid file.
    const QString own = path(QStringLiteral("tinyproxy"));
    const QString log = own + u"/tinyproxy.log"_s;
    const QString output = path(QStringLiteral("tinyproxy.out"));
    logFiles_ = {output, log};
    QString config = QStringLiteral("User nobody\n"
                                    "Group %1\n"
                                    "Port %2\n"
                                    "Listen 127.0.0.1\n"
                                    "Timeout 60\n"
                                    "LogFile \"%3\"\n"
                                    "LogLevel Connect\n"
                                    "PidFile \"%4\"\n"
                                    "MaxClients 100\n"
                                    "Allow 127.0.0.1\n"
                                    "DisableViaHeader Yes\n")
                         .arg(nobody.group)
                         .arg(port_)
                         .arg(log, own + u"/tinyproxy.pid"_s);
    if (kind_ == Kind::TinyproxyBasic)
        config += QStringLiteral("BasicAuth %1 %2\n")
                      .arg(QString::fromLatin1(kProxyUser), QString::fromLatin1(kProxyPassword));
    // No ConnectPort line allows CONNECT to every port; ranges are not accepted, so one line per port.
    for (quint16 target : allowedTargetPorts_)
        config += QStringLiteral("ConnectPort %1\n").arg(target);
    const QString configPath = path(QStringLiteral("tinyproxy.conf"));
    if (!QDir().mkpath(own) || !chownTree(own, nobody.uid, nobody.gid) || !writeFile(configPath, config)) {
        *error = failure(QStringLiteral("cannot prepare %1 and %2").arg(own, configPath));
        return false;
    }
    return startDaemon(QStringLiteral("tinyproxy"), tinyproxy,
                       {QStringLiteral("-d"), QStringLiteral("-c"), configPath}, output, {port_}, error);
}

bool ProxyProcess::launchFtpProxy(QString* error) {
    const QString name = kindName(kind_);
    const QString ftpProxy = findProgram(QStringLiteral("ftp-proxy"));
    if (ftpProxy.isEmpty()) {
        *error = cannotRun(name, notInstalled(QStringLiteral("ftp-proxy")));
        return false;
    }
    Nobody nobody;
    if (::geteuid() != 0 || !lookUpNobody(&nobody)) {
        *error = cannotRun(name, QStringLiteral("it needs root and the user nobody"));
        return false;
    }
    port_ = FindFreeTcpPortRange(1);
    if (port_ == 0) {
        *error = failure(QStringLiteral("no free port on 127.0.0.1"));
        return false;
    }

    // It deletes and recreates its log after dropping to nobody.
    const QString own = path(QStringLiteral("ftp-proxy"));
    const QString log = own + u"/ftp-proxy.log"_s;
    const QString output = path(QStringLiteral("ftp-proxy.out"));
    logFiles_ = {output, log};
    // ForkLimit: the default of 40 connections a minute is soon used up by a test suite.
    const QString config = QStringLiteral("[-Global-]\n"
                                          "ServerType standalone\n"
                                          "Listen 127.0.0.1\n"
                                          "Port %1\n"
                                          "DestinationAddress 127.0.0.1\n"
                                          "DestinationPort %2\n"
                                          "AllowMagicUser yes\n"
                                          "User nobody\n"
                                          "Group %3\n"
                                          "ForkLimit 10000\n"
                                          "PidFile %4\n"
                                          "LogDestination %5\n"
                                          "LogLevel INF\n")
                               .arg(port_)
                               .arg(allowedTargetPorts_.value(0, 21))
                               .arg(nobody.group, own + u"/ftp-proxy.pid"_s, log);
    const QString configPath = path(QStringLiteral("ftp-proxy.conf"));
    if (!QDir().mkpath(own) || !chownTree(own, nobody.uid, nobody.gid) || !writeFile(configPath, config)) {
        *error = failure(QStringLiteral("cannot prepare %1 and %2").arg(own, configPath));
        return false;
    }
    // -d: standalone, -n: in the foreground.
    return startDaemon(QStringLiteral("ftp-proxy"), ftpProxy,
                       {QStringLiteral("-d"), QStringLiteral("-n"), QStringLiteral("-f"), configPath}, output,
                       {port_}, error);
}

bool ProxyProcess::launchModProxy(QString* error) {
    const QString name = kindName(kind_);
    const QString root = QString::fromLatin1(kProftpdDir);
    const QString proftpd = root + u"/usr/sbin/proftpd"_s;
    const QString modules = root + u"/usr/lib/proftpd"_s;
    if (!QFileInfo(proftpd).isExecutable() || !QFileInfo::exists(modules + u"/mod_proxy.so"_s)) {
        *error = cannotRun(
            name, QStringLiteral("%1 or mod_proxy.so is missing (run scripts/install-deps.sh)").arg(proftpd));
        return false;
    }
    const QString setpriv = findProgram(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) {
        *error = cannotRun(name, notInstalled(QStringLiteral("setpriv")));
        return false;
    }
    Nobody nobody;
    if (::geteuid() != 0 || !lookUpNobody(&nobody)) {
        *error = cannotRun(name, QStringLiteral("it needs root and the user nobody"));
        return false;
    }
    const quint16 first = FindFreeTcpPortRange(3 + kModProxyPassivePorts);
    if (first == 0) {
        *error = failure(QStringLiteral("no free block of ports on 127.0.0.1"));
        return false;
    }
    methodPorts_ = {first, static_cast<quint16>(first + 1), static_cast<quint16>(first + 2)};
    port_ = first;
    const int passiveFirst = first + 3;
    const int passiveLast = first + 2 + kModProxyPassivePorts;

    const QString own = path(QStringLiteral("mod_proxy"));
    const QString passwd = own + u"/proxy.passwd"_s;
    const QString output = path(QStringLiteral("proftpd.out"));
    logFiles_ = {output, own + u"/proftpd.log"_s};
    for (quint16 port : methodPorts_)
        logFiles_ << own + u"/proxy-%1.log"_s.arg(port);

    // One server per method: the main one, then two virtual hosts on the same address.
    const auto proxySettings = [&](quint16 port, Method method) {
        return QStringLiteral("  ProxyEngine on\n"
                              "  ProxyLog %1/proxy-%2.log\n"
                              "  ProxyRole forward\n"
                              "  ProxyForwardMethod %3\n"
                              "  ProxyForwardTo ^127\\.0\\.0\\.1:[0-9]+$\n"
                              "  AuthOrder mod_auth_file.c\n"
                              "  AuthUserFile %4\n"
                              "  RequireValidShell off\n"
                              "  PassivePorts %5 %6\n")
            .arg(own)
            .arg(port)
            .arg(methodName(method), passwd)
            .arg(passiveFirst)
            .arg(passiveLast);
    };
    QString config = QStringLiteral("ModulePath %1\n"
                                    "LoadModule mod_proxy.c\n"
                                    "ServerName \"tessaly-ftp-proxy\"\n"
                                    "ServerType standalone\n"
                                    "Port %2\n"
                                    "DefaultAddress 127.0.0.1\n"
                                    "SocketBindTight on\n"
                                    "UseIPv6 off\n"
                                    "User nobody\n"
                                    "Group %3\n"
                                    "ControlsEngine off\n"
                                    "PidFile %4/proftpd.pid\n"
                                    "ScoreboardFile %4/proftpd.scoreboard\n"
                                    "SystemLog %4/proftpd.log\n"
                                    "DelayTable none\n"
                                    "WtmpLog off\n"
                                    "UseReverseDNS off\n"
                                    "ProxyTables %4/tables\n"
                                    "<Class loopback>\n"
                                    "  From 127.0.0.0/8\n"
                                    "  ProxyForwardEnabled on\n"
                                    "</Class>\n")
                         .arg(modules)
                         .arg(methodPorts_[0])
                         .arg(nobody.group, own);
    config += proxySettings(methodPorts_[0], Method::UserAtHost);
    for (Method method : {Method::ProxyUserThenUserAtHost, Method::ProxyUserAtHostThenUser}) {
        const quint16 port = methodPorts_[static_cast<qsizetype>(method)];
        config += QStringLiteral("<VirtualHost 127.0.0.1>\n  Port %1\n").arg(port) +
                  proxySettings(port, method) + u"</VirtualHost>\n"_s;
    }
    const QString configPath = path(QStringLiteral("proftpd.conf"));
    const QString passwdLine =
        QStringLiteral("%1:%2:%3:%4::%5:/bin/false\n")
            .arg(QString::fromLatin1(kProxyUser), QString::fromLatin1(kProxyPasswordHash))
            .arg(nobody.uid)
            .arg(nobody.gid)
            .arg(own);
    if (!QDir().mkpath(own + u"/tables"_s) || !writeFile(passwd, passwdLine) ||
        ::chmod(QFile::encodeName(passwd).constData(), 0600) != 0 ||
        !chownTree(own, nobody.uid, nobody.gid) || !writeFile(configPath, config)) {
        *error = failure(QStringLiteral("cannot prepare %1 and %2").arg(own, configPath));
        return false;
    }

    // As root the proxy-login methods fail after logon (mod_proxy cannot chroot into its tables), so
    // proftpd runs as nobody from the start. mod_proxy.so needs libssl's symbols loaded before it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("libssl.so.3"));
    const QStringList arguments{QStringLiteral("--reuid=%1").arg(nobody.uid),
                                QStringLiteral("--regid=%1").arg(nobody.gid),
                                QStringLiteral("--clear-groups"),
                                proftpd,
                                QStringLiteral("-n"),
                                QStringLiteral("-c"),
                                configPath};
    // setpriv execs proftpd: the process started is proftpd itself.
    return startDaemon(QStringLiteral("proftpd"), setpriv, arguments, output, methodPorts_, error,
                       environment);
}

} // namespace tessaly::test
