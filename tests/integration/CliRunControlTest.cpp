// How a tessaly-cli run is controlled from outside its commands: Ctrl+C aborts a download with ABOR
// and keeps the partial file for a later get to resume, a second Ctrl+C does not wait for a server
// that stopped answering; --timeout turns the time-outs on without touching the settings file; idle
// keeps the session open for a while, its keep-alive sending the idle command, and the next command
// runs on it.
#include "support/CliRunner.h"
#include "support/ProcessUtils.h"
#include "support/ScriptedPeer.h"
#include "support/TestFiles.h"
#include "support/TransferCases.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using Kind = FtpServerProcess::Kind;

qint64 SizeOf(const QString& path) {
    return QFileInfo(path).size();
}

// Waits until the running tessaly-cli has added to the file, and freezes it there (SIGSTOP), so that
// what the test does next happens while the transfer still runs. False when no byte came, or the
// whole file did before the stop.
bool FreezeMidTransfer(QProcess& process, const QString& path, qint64 fullSize) {
    const qint64 before = SizeOf(path);
    const QDeadlineTimer deadline(30000);
    while (SizeOf(path) == before) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
            return false;
        }
        QThread::msleep(2);
    }
    ::kill(static_cast<pid_t>(process.processId()), SIGSTOP);
    QThread::msleep(50); // the stop takes effect
    return SizeOf(path) < fullSize;
}

// Waits until tessaly-cli has written `text` to its error stream, which stays unread for finish().
bool WaitForErrorText(QProcess& process, QByteArrayView text, int timeoutMs) {
    process.setReadChannel(QProcess::StandardError);
    const QDeadlineTimer deadline(timeoutMs);
    while (!process.peek(1 << 20).contains(text)) {
        if (deadline.hasExpired() ||
            (!process.waitForReadyRead(50) && process.state() == QProcess::NotRunning)) {
            return false;
        }
    }
    return true;
}

// Holds the server's processes stopped (SIGSTOP) for its life, so that it answers nothing.
class FrozenServer {
public:
    explicit FrozenServer(const FtpServerProcess& server) : pids_(DescendantPids(server.pid())) {
        pids_.append(server.pid());
        Signal(SIGSTOP);
    }
    ~FrozenServer() { Signal(SIGCONT); }
    FrozenServer(const FrozenServer&) = delete;
    FrozenServer& operator=(const FrozenServer&) = delete;

private:
    void Signal(int signal) const {
        for (const qint64 pid : pids_) {
            ::kill(static_cast<pid_t>(pid), signal);
        }
    }
    QList<qint64> pids_;
};

// Three runs fetch one file: the first is interrupted once and waits for the server's answer to ABOR;
// the second is interrupted while the server has stopped answering and again, which ends it at once;
// the third resumes the partial file with REST, and the whole is the server's file.
TEST(CliInterrupt, AbortsTheDownloadKeepsThePartialFileAndAGetResumesIt) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, Kind::Vsftpd);
    ASSERT_NO_FATAL_FAILURE(ServeRandomFile(*server, QStringLiteral("random.bin")));
    QTemporaryDir target;
    const QString local = target.filePath(QStringLiteral("random.bin"));
    constexpr qint64 kFullSize = RandomTestFile::kSize;
    Cli cli;
    const QStringList login{QStringLiteral("--on-conflict"),
                            QStringLiteral("resume"),
                            QStringLiteral("--user"),
                            server->userName(),
                            QStringLiteral("--pass"),
                            server->password(),
                            QStringLiteral("127.0.0.1:%1").arg(server->port())};
    const QStringList get{QStringLiteral("get"), QStringLiteral("random.bin"), target.path(),
                          QStringLiteral("pwd")};

    const std::unique_ptr<QProcess> once = cli.start(login + get);
    ASSERT_TRUE(FreezeMidTransfer(*once, local, kFullSize)) << SizeOf(local);
    const auto pid = static_cast<pid_t>(once->processId());
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
    const CliRun aborted = Cli::finish(*once);
    EXPECT_EQ(aborted.exitCode, 130) << aborted.text();
    EXPECT_EQ(aborted.count("COMMAND:>  ABOR"), 1) << aborted.text();
    EXPECT_EQ(aborted.count("Disconnect by client("), 1) << aborted.text();
    EXPECT_TRUE(aborted.output.isEmpty()) << "no command runs after the interrupt";
    const qint64 firstPart = SizeOf(local);
    EXPECT_GT(firstPart, 0);
    EXPECT_LT(firstPart, kFullSize);

    const std::unique_ptr<QProcess> twice = cli.start(login + get);
    ASSERT_TRUE(FreezeMidTransfer(*twice, local, kFullSize)) << SizeOf(local);
    {
        const FrozenServer frozen(*server);
        const auto again = static_cast<pid_t>(twice->processId());
        ::kill(again, SIGINT);
        ::kill(again, SIGCONT);
        ASSERT_TRUE(WaitForErrorText(*twice, "COMMAND:>  ABOR", 10000));
        ::kill(again, SIGINT);
        ASSERT_TRUE(twice->waitForFinished(10000)) << "a second interrupt ends the run at once";
    }
    const CliRun quit = Cli::finish(*twice);
    EXPECT_EQ(quit.exitCode, 130) << quit.text();
    const qint64 secondPart = SizeOf(local);
    EXPECT_GE(secondPart, firstPart);
    EXPECT_LT(secondPart, kFullSize);

    const CliRun resumed = cli.run(login + get, 100000);
    EXPECT_EQ(resumed.exitCode, 0) << resumed.text();
    EXPECT_EQ(resumed.count("COMMAND:>  REST " + QByteArray::number(secondPart)), 1) << resumed.text();
    EXPECT_EQ(Sha256OfFile(local), SharedRandomFile().sha256);
}

// A server that never answers USER: with --timeout 1 the reply time-out ends the attempt, and the
// settings file is the same byte for byte afterwards.
TEST(CliTimeout, TurnsTheReplyTimeOutOnForTheRunOnly) {
    ScriptedPeer peer;
    peer.accept().send("220 ready\r\n").expectLine("USER anonymous").pause(20000);
    Cli cli;
    cli.settings().WriteInt(u"General", u"UseTimeout", 0);
    cli.settings().WriteInt(u"General", u"FtpCommandTimeout", 300);
    QFile file(cli.settings().filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    const CliRun run = cli.run({QStringLiteral("--timeout"), QStringLiteral("1"),
                                QStringLiteral("127.0.0.1:%1").arg(peer.port()), QStringLiteral("ls")},
                               20000);
    EXPECT_EQ(run.exitCode, 2) << run.text();
    EXPECT_EQ(run.count("Command reply timeout!"), 1) << run.text();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// idle keeps the logged-in session for its seconds, the keep-alive of the run's settings sending its
// idle command meanwhile (once, after 10 of the 11 seconds); the commands after it run on the same
// session.
TEST(CliIdle, KeepsTheSessionAliveAndItGoesOnAfterwards) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, Kind::Vsftpd);
    Cli cli;
    cli.settings().WriteInt(u"Advance", u"KeepConnection", 1);
    cli.settings().WriteInt(u"Advance", u"IdleCommand", 10);
    cli.settings().WriteString(u"Advance", u"IdleCmdList", QStringLiteral("NOOP"));
    QElapsedTimer clock;
    clock.start();
    const CliRun run =
        cli.run({QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("idle"),
                 QStringLiteral("11"), QStringLiteral("cd"), QStringLiteral("pub"), QStringLiteral("pwd")});
    EXPECT_GE(clock.elapsed(), 11000);
    EXPECT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(run.output, "/pub\n");
    EXPECT_EQ(run.count("USER anonymous"), 1) << run.text();
    const qsizetype noop = run.lines.indexOf("COMMAND:>  NOOP");
    ASSERT_GE(noop, 0) << run.text();
    EXPECT_EQ(run.count("COMMAND:>  NOOP"), 1) << run.text();
    EXPECT_TRUE(run.lines.value(noop + 1).trimmed().startsWith("200 ")) << run.text();
    EXPECT_GT(run.lines.indexOf("COMMAND:>  CWD /pub"), noop) << run.text();
}

} // namespace
} // namespace tessaly::test
