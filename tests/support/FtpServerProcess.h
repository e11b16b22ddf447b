#pragma once

#include "support/ProcessUtils.h"

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <iosfwd>
#include <memory>

namespace tessaly::test {

// A real FTP server on 127.0.0.1 for the integration tests, in a temporary directory of its own, on
// free ports: the control port and a passive range of its own. The destructor stops it by PID,
// together with any session processes it forked.
//
// Every kind serves the same tree from root():
//   pub/hello.txt ("hello world\n"), pub/docs/readme.txt, pub/docs/notes.txt, pub/file with space.txt,
//   pub/big.bin (300 KiB of deterministic bytes) and an empty incoming/.
// Pyftpdlib (scripts/ftpd.py): anonymous and alice/secret, both read-write everywhere.
// PyftpdlibDos: the same, with MS-DOS style LIST lines and "215 Windows_NT" for SYST.
// Vsftpd: anonymous (may write only into incoming/) and the local user tessftp/secret (made by
// scripts/install-deps.sh), both with the same root; needs root to run. It stores ASCII uploads with
// LF line ends, and sends files byte for byte in ASCII type too.
// Proftpd: anonymous and the virtual user alice/secret, both chrooted to the root and both may write
// into incoming/; needs root. Runs the proftpd that scripts/install-deps.sh unpacks.
// PureFtpd: anonymous (answers USER with 230 at once; may upload and make directories only) and the
// virtual user bob/secret, both chrooted to the root; needs root. Runs the pure-ftpd that
// scripts/install-deps.sh unpacks, in a mount namespace of its own where the root stands over the ftp
// user's home (its anonymous root), with 100 passive ports (it allows half as many clients).
class FtpServerProcess {
public:
    enum class Kind { Pyftpdlib, PyftpdlibDos, Vsftpd, Proftpd, PureFtpd };

    // The running server, or nullptr with *error saying why (not installed, not root, did not start).
    static std::unique_ptr<FtpServerProcess> start(Kind kind, QString* error);

    // True when TESSALY_REQUIRE_PEERS=1: a server that cannot start fails the test instead of
    // skipping it (scripts/test.sh sets it).
    static bool peersRequired();

    static QString kindName(Kind kind);

    ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    Kind kind() const { return kind_; }
    quint16 port() const { return port_; }
    quint16 passiveFirstPort() const { return passiveFirst_; }
    quint16 passiveLastPort() const { return passiveLast_; }
    QString root() const { return root_; }
    qint64 pid() const { return pid_; }

    QString anonymousUser() const { return QStringLiteral("anonymous"); }
    QString userName() const;
    QString password() const { return QStringLiteral("secret"); }

    // The server's own output and log files, for failure messages.
    QString logText() const;

    // The byte counts of the downloads (RETR) of files named `name` that completed, in order, from
    // the server's transfer log: what really went over the wire. Waits up to waitMs for the first
    // entry, as a server may log a transfer after its final reply.
    QList<qint64> sentFileBytes(const QString& name, int waitMs = 3000) const;
    // The same for the uploads (STOR, APPE) into files named `name`: the bytes the server received.
    QList<qint64> receivedFileBytes(const QString& name, int waitMs = 3000) const;

    // Stops the server and its sessions: SIGTERM, then SIGKILL after a grace period. Idempotent.
    void stop();

private:
    // Where scripts/install-deps.sh unpacks the servers that cannot be installed beside vsftpd.
    static constexpr char kUnpackedPeersDir[] = "/var/cache/tessaly-peers";
    // crypt(3) SHA-256 of password() for the virtual users ("openssl passwd -5 -salt tessalyftp secret").
    static constexpr char kVirtualUserPasswordHash[] =
        "$5$tessalyftp$VFRrfJlN226mSGX.r5JxsJNRVatD6dnHMB5EsPvVBj3";

    explicit FtpServerProcess(Kind kind);

    bool launch(QString* error);
    bool launchPyftpdlib(QString* error);
    bool launchVsftpd(QString* error);
    bool launchProftpd(QString* error);
    bool launchPureFtpd(QString* error);
    // Writes the common tree into root_ for the servers that do not write it themselves: readable by
    // all, incoming/ owned by the ftp user and writable by all.
    bool writeTree(QString* error);
    // For the unpacked servers: the tree in anon/, and a directory of the server's own (returned,
    // empty on failure) for its configuration, user database and transfer log (xfer.log).
    QString prepareUnpackedServer(const QString& name, QString* error);
    // "user:hash:uid:gid", the start of a virtual user's line in a passwd-style user file.
    QString virtualUserEntry(uint uid, uint gid) const;
    // Starts `program` (its output in the file `output`) and waits until port() accepts connections.
    bool startAndWaitForPort(const QString& program, const QStringList& arguments, const QString& output,
                             QString* error);
    enum class Direction { Sent, Received };
    QList<QPair<QString, qint64>> transferLogEntries(Direction direction) const;
    QList<qint64> fileBytes(Direction direction, const QString& name, int waitMs) const;
    QString failure(const QString& what) const;
    static bool writeFile(const QString& path, const QByteArray& data);

    Kind kind_;
    QTemporaryDir dir_;
    QProcess process_;
    QString root_;
    quint16 port_ = 0;
    quint16 passiveFirst_ = 0;
    quint16 passiveLast_ = 0;
    qint64 pid_ = 0;
    QStringList logFiles_;
    QString transferLog_;
};

// Lets GoogleTest print a Kind by name in test parameters and failure messages.
void PrintTo(FtpServerProcess::Kind kind, std::ostream* out);

} // namespace tessaly::test

// Starts a server of `kind` into `target` (a std::unique_ptr<FtpServerProcess> lvalue); when it cannot
// start, skips the test, or fails it when TESSALY_REQUIRE_PEERS=1. For test bodies and fixture SetUp().
#define TESSALY_START_FTP_SERVER_OR_SKIP(target, kind)                                                       \
    do {                                                                                                     \
        QString tessalyStartError_;                                                                          \
        (target) = ::tessaly::test::FtpServerProcess::start((kind), &tessalyStartError_);                    \
        if (!(target)) {                                                                                     \
            if (::tessaly::test::FtpServerProcess::peersRequired())                                          \
                FAIL() << qPrintable(tessalyStartError_);                                                    \
            GTEST_SKIP() << qPrintable(tessalyStartError_);                                                  \
        }                                                                                                    \
    } while (false)
