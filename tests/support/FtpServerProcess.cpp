#include "support/FtpServerProcess.h"

#include "support/PortUtils.h"
#include "support/ProcessUtils.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <ostream>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace tessaly::test {

using namespace Qt::StringLiterals;

namespace {

constexpr int kPassivePortCount = 10;
// pure-ftpd allows as many clients as half its passive ports: 50 here.
constexpr int kPureFtpdPassivePortCount = 100;
constexpr int kStartAttempts = 3;
constexpr int kStartTimeoutMs = 15000;
constexpr int kStopGraceMs = 2000;
constexpr qint64 kBigFileSize = 300 * 1024;
constexpr char kVsftpdUser[] = "tessftp";

QString sourceDir() {
    return QString::fromUtf8(TESSALY_SOURCE_DIR);
}

// The same bytes scripts/ftpd.py writes to pub/big.bin: a SHA-256 counter stream.
QByteArray bigFileBytes() {
    QByteArray out;
    out.reserve(kBigFileSize + 32);
    for (quint64 counter = 0; out.size() < kBigFileSize; ++counter) {
        char block[8];
        for (int i = 0; i < 8; ++i)
            block[i] = static_cast<char>((counter >> (8 * (7 - i))) & 0xff);
        out += QCryptographicHash::hash(QByteArrayView(block, 8), QCryptographicHash::Sha256);
    }
    out.truncate(kBigFileSize);
    return out;
}

bool makeWorldReadable(const QString& path) {
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
}

} // namespace

void PrintTo(FtpServerProcess::Kind kind, std::ostream* out) {
    *out << FtpServerProcess::kindName(kind).toStdString();
}

bool FtpServerProcess::writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

FtpServerProcess::FtpServerProcess(Kind kind) : kind_(kind) {}

FtpServerProcess::~FtpServerProcess() {
    stop();
}

std::unique_ptr<FtpServerProcess> FtpServerProcess::start(Kind kind, QString* error) {
    QString reason;
    // A port picked free can be taken by someone else before the server binds it: try again then.
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        std::unique_ptr<FtpServerProcess> server(new FtpServerProcess(kind));
        if (server->launch(&reason))
            return server;
        if (reason.startsWith(u"cannot run"))
            break;
    }
    if (error)
        *error = reason;
    return nullptr;
}

bool FtpServerProcess::peersRequired() {
    return qEnvironmentVariable("TESSALY_REQUIRE_PEERS") == u"1";
}

QString FtpServerProcess::kindName(Kind kind) {
    switch (kind) {
    case Kind::Pyftpdlib:
        return QStringLiteral("pyftpdlib");
    case Kind::PyftpdlibDos:
        return QStringLiteral("pyftpdlib (MS-DOS listing)");
    case Kind::Vsftpd:
        return QStringLiteral("vsftpd");
    case Kind::Proftpd:
        return QStringLiteral("proftpd");
    case Kind::PureFtpd:
        return QStringLiteral("pure-ftpd");
    }
    return {};
}

QString FtpServerProcess::userName() const {
    switch (kind_) {
    case Kind::Vsftpd:
        return QString::fromLatin1(kVsftpdUser);
    case Kind::PureFtpd:
        return QStringLiteral("bob");
    case Kind::Pyftpdlib:
    case Kind::PyftpdlibDos:
    case Kind::Proftpd:
        break;
    }
    return QStringLiteral("alice");
}

QString FtpServerProcess::logText() const {
    QString text;
    for (const QString& path : logFiles_)
        text += QStringLiteral("--- %1\n%2").arg(path, ReadTextFile(path));
    return text;
}

// Each server's transfer log line of a completed transfer in `direction`, with the file's path and
// the bytes moved.
QList<QPair<QString, qint64>> FtpServerProcess::transferLogEntries(Direction direction) const {
    const bool sent = direction == Direction::Sent;
    static const QRegularExpression pyftpdlibSent(uR"(\bRETR (.+) completed=1 bytes=(\d+) )"_s);
    static const QRegularExpression pyftpdlibReceived(uR"(\b(?:STOR|APPE) (.+) completed=1 bytes=(\d+) )"_s);
    static const QRegularExpression vsftpdSent(
        uR"re(\] OK DOWNLOAD: Client "[^"]*", "(.+)", (\d+) bytes,)re"_s);
    static const QRegularExpression vsftpdReceived(
        uR"re(\] OK UPLOAD: Client "[^"]*", "(.+)", (\d+) bytes,)re"_s);
    static const QRegularExpression pureFtpdSent(uR"re( "GET (.+)" 2\d\d (\d+)$)re"_s);
    static const QRegularExpression pureFtpdReceived(uR"re( "PUT (.+)" 2\d\d (\d+)$)re"_s);
    QList<QPair<QString, qint64>> entries;
    const QStringList lines = ReadTextFile(transferLog_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (kind_ == Kind::Proftpd) {
            // xferlog: date (5 fields), seconds, host, bytes, path, type, action, direction ("o" out,
            // "i" in), access mode, user, service, authentication, user id, completion ("c" or "i").
            const QStringList fields = line.simplified().split(QLatin1Char(' '));
            if (fields.size() >= 18 && fields[11] == (sent ? u"o" : u"i") && fields.last() == u"c")
                entries.append({fields[8], fields[7].toLongLong()});
            continue;
        }
        const QRegularExpression& pattern = kind_ == Kind::Vsftpd ? (sent ? vsftpdSent : vsftpdReceived)
                                            : kind_ == Kind::PureFtpd
                                                ? (sent ? pureFtpdSent : pureFtpdReceived)
                                                : (sent ? pyftpdlibSent : pyftpdlibReceived);
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch())
            entries.append({match.captured(1), match.captured(2).toLongLong()});
    }
    return entries;
}

QList<qint64> FtpServerProcess::fileBytes(Direction direction, const QString& name, int waitMs) const {
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        QList<qint64> moved;
        for (const auto& [path, bytes] : transferLogEntries(direction)) {
            if (path == name || path.endsWith(u'/' + name))
                moved.append(bytes);
        }
        if (!moved.isEmpty() || deadline.hasExpired())
            return moved;
        QThread::msleep(50);
    }
}

QList<qint64> FtpServerProcess::sentFileBytes(const QString& name, int waitMs) const {
    return fileBytes(Direction::Sent, name, waitMs);
}

QList<qint64> FtpServerProcess::receivedFileBytes(const QString& name, int waitMs) const {
    return fileBytes(Direction::Received, name, waitMs);
}

QString FtpServerProcess::failure(const QString& what) const {
    return QStringLiteral("%1 did not start: %2\n%3").arg(kindName(kind_), what, logText());
}

bool FtpServerProcess::launch(QString* error) {
    if (!dir_.isValid()) {
        *error = QStringLiteral("cannot run %1: no temporary directory: %2")
                     .arg(kindName(kind_), dir_.errorString());
        return false;
    }
    // QTemporaryDir is 0700; servers that drop privileges must still reach the tree.
    makeWorldReadable(dir_.path());
    const int passivePorts = kind_ == Kind::PureFtpd ? kPureFtpdPassivePortCount : kPassivePortCount;
    const quint16 first = FindFreeTcpPortRange(passivePorts + 1);
    if (first == 0) {
        *error = QStringLiteral("%1 did not start: no free block of ports on 127.0.0.1").arg(kindName(kind_));
        return false;
    }
    port_ = first;
    passiveFirst_ = static_cast<quint16>(first + 1);
    passiveLast_ = static_cast<quint16>(first + passivePorts);

    process_.setStandardInputFile(QProcess::nullDevice());
    bool started = false;
    switch (kind_) {
    case Kind::Pyftpdlib:
    case Kind::PyftpdlibDos:
        started = launchPyftpdlib(error);
        break;
    case Kind::Vsftpd:
        started = launchVsftpd(error);
        break;
    case Kind::Proftpd:
        started = launchProftpd(error);
        break;
    case Kind::PureFtpd:
        started = launchPureFtpd(error);
        break;
    }
    if (started)
        pid_ = process_.processId();
    else
        stop();
    return started;
}

bool FtpServerProcess::launchPyftpdlib(QString* error) {
    const QString python = QStringLiteral("/usr/bin/python3");
    const QString script = sourceDir() + u"/scripts/ftpd.py"_s;
    if (!QFileInfo(python).isExecutable() || !QFileInfo::exists(script)) {
        *error = QStringLiteral("cannot run pyftpdlib: %1 or %2 is missing (run scripts/install-deps.sh)")
                     .arg(python, script);
        return false;
    }
    root_ = dir_.filePath(QStringLiteral("root"));
    const QString log = dir_.filePath(QStringLiteral("ftpd.log"));
    logFiles_ = {log};
    transferLog_ = log;
    process_.setStandardErrorFile(log);
    QStringList arguments{script,
                          QStringLiteral("--root"),
                          root_,
                          QStringLiteral("--port"),
                          QStringLiteral("0"),
                          QStringLiteral("--passive"),
                          QStringLiteral("%1-%2").arg(passiveFirst_).arg(passiveLast_),
                          QStringLiteral("--demo-tree")};
    if (kind_ == Kind::PyftpdlibDos)
        arguments << QStringLiteral("--dos");
    process_.start(python, arguments);
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        *error = failure(process_.errorString());
        return false;
    }

    // The script reports the port it bound with one "READY <port>" line once it listens.
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!process_.canReadLine()) {
        const bool exited = !process_.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
                            process_.state() == QProcess::NotRunning;
        if (exited || (deadline.hasExpired() && !process_.canReadLine())) {
            *error = failure(exited ? QStringLiteral("exited before it listened")
                                    : QStringLiteral("no READY line in time"));
            return false;
        }
    }
    const QByteArray line = process_.readLine().trimmed();
    bool ok = false;
    const uint port = line.startsWith("READY ") ? line.mid(6).toUInt(&ok) : 0;
    if (!ok || port == 0 || port > 65535) {
        *error = failure(QStringLiteral("unexpected first line \"%1\"").arg(QString::fromUtf8(line)));
        return false;
    }
    port_ = static_cast<quint16>(port);
    return true;
}

bool FtpServerProcess::writeTree(QString* error) {
    struct passwd* ftp = ::getpwnam("ftp");
    if (!ftp) {
        *error = QStringLiteral("cannot run %1: no ftp system user (run scripts/install-deps.sh)")
                     .arg(kindName(kind_));
        return false;
    }
    const uid_t ftpUid = ftp->pw_uid;
    const gid_t ftpGid = ftp->pw_gid;

    // vsftpd refuses a writable chroot root to anonymous sessions, so only incoming/ is writable (and
    // owned by ftp, as pure-ftpd wants for anonymous uploads).
    const QString incoming = root_ + u"/incoming"_s;
    const bool written = QDir().mkpath(incoming) && writeFile(root_ + u"/pub/hello.txt"_s, "hello world\n") &&
                         writeFile(root_ + u"/pub/docs/readme.txt"_s,
                                   "Tessaly demo server.\nEverything here can be downloaded; upload into "
                                   "incoming/.\n") &&
                         writeFile(root_ + u"/pub/docs/notes.txt"_s, "line one\nline two\nline three\n") &&
                         writeFile(root_ + u"/pub/file with space.txt"_s, "a name with a space\n") &&
                         writeFile(root_ + u"/pub/big.bin"_s, bigFileBytes());
    if (!written) {
        *error = failure(QStringLiteral("cannot write the tree in %1").arg(root_));
        return false;
    }
    for (const QString& directory : {root_, root_ + u"/pub"_s, root_ + u"/pub/docs"_s})
        makeWorldReadable(directory);
    const QByteArray incomingPath = QFile::encodeName(incoming);
    if (::chown(incomingPath.constData(), ftpUid, ftpGid) != 0 ||
        ::chmod(incomingPath.constData(), 0777) != 0) {
        *error = failure(QStringLiteral("cannot hand %1 to the ftp user").arg(incoming));
        return false;
    }
    return true;
}

QString FtpServerProcess::prepareUnpackedServer(const QString& name, QString* error) {
    root_ = dir_.filePath(QStringLiteral("anon"));
    const QString own = dir_.filePath(name);
    if (!writeTree(error))
        return {};
    if (!QDir().mkpath(own)) {
        *error = failure(QStringLiteral("cannot make %1").arg(own));
        return {};
    }
    transferLog_ = own + u"/xfer.log"_s;
    logFiles_ = {dir_.filePath(name + u".out"_s), transferLog_};
    return own;
}

QString FtpServerProcess::virtualUserEntry(uint uid, uint gid) const {
    return QStringLiteral("%1:%2:%3:%4")
        .arg(userName(), QString::fromLatin1(kVirtualUserPasswordHash))
        .arg(uid)
        .arg(gid);
}

bool FtpServerProcess::startAndWaitForPort(const QString& program, const QStringList& arguments,
                                           const QString& output, QString* error) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(output);
    process_.start(program, arguments);
    if (!process_.waitForStarted(kStartTimeoutMs)) {
        *error = failure(process_.errorString());
        return false;
    }
    // The daemons say nothing when they are ready: wait for the port, and notice when one gave up.
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!WaitForTcpPort(port_, 0)) {
        if (process_.waitForFinished(50)) {
            *error = failure(QStringLiteral("exited with status %1").arg(process_.exitCode()));
            return false;
        }
        if (deadline.hasExpired()) {
            *error = failure(QStringLiteral("port %1 never accepted a connection").arg(port_));
            return false;
        }
    }
    return true;
}

bool FtpServerProcess::launchVsftpd(QString* error) {
    QString vsftpd = QStandardPaths::findExecutable(QStringLiteral("vsftpd"));
    if (vsftpd.isEmpty())
        vsftpd = QStandardPaths::findExecutable(QStringLiteral("vsftpd"),
                                                {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (vsftpd.isEmpty()) {
        *error = QStringLiteral("cannot run vsftpd: it is not installed (run scripts/install-deps.sh)");
        return false;
    }
    if (::geteuid() != 0) {
        *error = QStringLiteral("cannot run vsftpd: it needs root");
        return false;
    }
    if (!::getpwnam(kVsftpdUser)) {
        *error = QStringLiteral("cannot run vsftpd: no user %1 (run scripts/install-deps.sh)")
                     .arg(QString::fromLatin1(kVsftpdUser));
        return false;
    }
    root_ = dir_.filePath(QStringLiteral("anon"));
    const QString empty = dir_.filePath(QStringLiteral("empty"));
    if (!writeTree(error))
        return false;
    if (!QDir().mkpath(empty) || !makeWorldReadable(empty)) {
        *error = failure(QStringLiteral("cannot make %1").arg(empty));
        return false;
    }

    const QString log = dir_.filePath(QStringLiteral("vsftpd.log"));
    const QString output = dir_.filePath(QStringLiteral("vsftpd.out"));
    logFiles_ = {output, log};
    transferLog_ = log;
    const QString config = QStringLiteral("listen=YES\n"
                                          "listen_ipv6=NO\n"
                                          "listen_address=127.0.0.1\n"
                                          "listen_port=%1\n"
                                          "background=NO\n"
                                          "secure_chroot_dir=%2\n"
                                          "pam_service_name=vsftpd\n"
                                          "seccomp_sandbox=NO\n"
                                          "anonymous_enable=YES\n"
                                          "anon_root=%3\n"
                                          "write_enable=YES\n"
                                          "anon_upload_enable=YES\n"
                                          "anon_mkdir_write_enable=YES\n"
                                          "anon_other_write_enable=YES\n"
                                          "anon_umask=022\n"
                                          "ascii_upload_enable=YES\n"
                                          "local_enable=YES\n"
                                          "local_umask=022\n"
                                          "local_root=%3\n"
                                          "chroot_local_user=YES\n"
                                          "allow_writeable_chroot=YES\n"
                                          "pasv_enable=YES\n"
                                          "pasv_address=127.0.0.1\n"
                                          "pasv_min_port=%4\n"
                                          "pasv_max_port=%5\n"
                                          "port_enable=YES\n"
                                          "connect_from_port_20=NO\n"
                                          "use_localtime=YES\n"
                                          "xferlog_enable=YES\n"
                                          "log_ftp_protocol=YES\n"
                                          "vsftpd_log_file=%6\n")
                               .arg(port_)
                               .arg(empty, root_)
                               .arg(passiveFirst_)
                               .arg(passiveLast_)
                               .arg(log);
    const QString configPath = dir_.filePath(QStringLiteral("vsftpd.conf"));
    if (!writeFile(configPath, config.toUtf8())) {
        *error = failure(QStringLiteral("cannot write %1").arg(configPath));
        return false;
    }

    return startAndWaitForPort(vsftpd, {configPath}, output, error);
}

void FtpServerProcess::stop() {
    if (process_.state() == QProcess::NotRunning || process_.waitForFinished(0))
        return;
    const qint64 master = process_.processId();

    // vsftpd's and pure-ftpd's sessions live on when only the master goes: end them first, while the
    // master still reaps.
    EndProcesses(DescendantPids(master), kStopGraceMs);

    ::kill(static_cast<pid_t>(master), SIGTERM);
    if (!process_.waitForFinished(kStopGraceMs)) {
        process_.kill();
        process_.waitForFinished(kStopGraceMs);
    }
}

} // namespace tessaly::test
