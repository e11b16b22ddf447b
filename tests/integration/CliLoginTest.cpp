// tessaly-cli against real FTP servers on loopback: the log it prints and its exit status, where the
// password comes from, and the password prompt on a terminal.
#include "support/CliRunner.h"
#include "support/FtpServerProcess.h"
#include "support/PortUtils.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

QString Address(const FtpServerProcess& server) {
    return QStringLiteral("127.0.0.1:%1").arg(server.port());
}

QByteArray Connecting() {
    return "STATUS:>  Connecting to FTP server[127.0.0.1(<stamp>)]...";
}

TEST(CliLogin, VsftpdPasswordLoginPrintsTheWholeLogAndExitsZero) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    Cli cli;
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                server->password(), Address(*server)});
    const QList<QByteArray> expected = {
        Connecting(),
        "STATUS:>  Connect successful, receive welcome message...",
        "              220 (vsFTPd 3.0.3)",
        "COMMAND:>  USER tessftp",
        "              331 Please specify the password.",
        "COMMAND:>  PASS ********",
        "              230 Login successful.",
        // The listing of the login directory follows.
        "COMMAND:>  SYST",
        "              215 UNIX Type: L8",
        "COMMAND:>  TYPE I",
        "              200 Switching to Binary mode.",
        "COMMAND:>  REST 100",
        "              350 Restart position accepted (100).",
        "COMMAND:>  REST 0",
        "              350 Restart position accepted (0).",
        "COMMAND:>  PWD",
        "              257 \"/\" is the current directory",
        "COMMAND:>  TYPE A",
        "              200 Switching to ASCII mode.",
        "COMMAND:>  PASV",
    };
    EXPECT_EQ(run.lines.mid(0, expected.size()), expected) << run.text();
    const QList<QByteArray> tail = {
        "STATUS:>  Open the data channel...",
        "COMMAND:>  LIST",
        "              150 Here comes the directory listing.",
        "              226 Directory send OK.",
    };
    const qsizetype list = run.lines.indexOf("STATUS:>  Open the data channel...");
    ASSERT_GT(list, 0) << run.text();
    EXPECT_EQ(run.lines.mid(list, tail.size()), tail) << run.text();
    EXPECT_EQ(run.lines.last(), "STATUS:>  Disconnect by client(<stamp>).");
    EXPECT_EQ(run.exitCode, 0);
}

TEST(CliLogin, VsftpdWrongPasswordWithoutTerminalExitsTwo) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    Cli cli;
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                QStringLiteral("wrong"), Address(*server)});
    ASSERT_FALSE(run.lines.isEmpty());
    EXPECT_EQ(run.lines.last(), "STATUS:>  Disconnect by client.") << run.text();
    EXPECT_TRUE(run.lines.contains("              530 Login incorrect.")) << run.text();
    EXPECT_EQ(run.exitCode, 2);
}

TEST(CliLogin, VsftpdAnonymousLoginSendsTheConfiguredEmail) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Vsftpd);
    Cli cli;
    cli.settings().WriteString(u"General", u"AnommousEmail", QStringLiteral("someone@example.net"));
    const CliRun run = cli.run({Address(*server)});
    EXPECT_TRUE(run.lines.contains("COMMAND:>  USER anonymous")) << run.text();
    EXPECT_TRUE(run.lines.contains("COMMAND:>  PASS someone@example.net")) << run.text();
    EXPECT_TRUE(run.lines.contains("              230 Login successful.")) << run.text();
    EXPECT_EQ(run.exitCode, 0);
}

TEST(CliLogin, PyftpdlibLoginsAndARefusedCommand) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    Cli cli;
    const CliRun anonymous = cli.run({Address(*server)});
    EXPECT_EQ(anonymous.exitCode, 0) << anonymous.text();
    EXPECT_TRUE(anonymous.lines.contains("              220 pyftpdlib 1.5.7 ready.")) << anonymous.text();

    const CliRun commands =
        cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"), server->password(),
                 Address(*server), QStringLiteral("quote"), QStringLiteral("CWD /no/such/dir"),
                 QStringLiteral("quote"), QStringLiteral("CWD /pub"), QStringLiteral("quote"),
                 QStringLiteral("PWD")});
    EXPECT_EQ(commands.exitCode, 1) << commands.text();
    EXPECT_TRUE(commands.lines.contains("COMMAND:>  PASS ********")) << commands.text();
    EXPECT_TRUE(commands.lines.contains("              257 \"/pub\" is the current directory."))
        << commands.text();
    EXPECT_TRUE(commands.lines.contains("Some commands execute failed,please see more details."))
        << commands.text();
    EXPECT_TRUE(commands.lines.contains("Command:>CWD /no/such/dir")) << commands.text();
    EXPECT_EQ(commands.lines.last(), "STATUS:>  Disconnect by client(<stamp>).");

    const CliRun fine = cli.run({Address(*server), QStringLiteral("quote"), QStringLiteral("NOOP")});
    EXPECT_EQ(fine.exitCode, 0) << fine.text();
}

// The password from a file or from the environment logs in as --pass does, and the file comes first.
TEST(CliLogin, PasswordFromAFileOrTheEnvironment) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    QTemporaryDir dir;
    QFile passwordFile(dir.filePath(QStringLiteral("password")));
    ASSERT_TRUE(passwordFile.open(QIODevice::WriteOnly));
    passwordFile.write(server->password().toUtf8() + "\n");
    passwordFile.close();
    const QStringList fromFile{QStringLiteral("--pass-file"), passwordFile.fileName()};
    // A wrong password would cost the server's delay: each of these logs in, or the test fails.
    for (const auto& [options, environment] : std::vector<std::pair<QStringList, QString>>{
             {fromFile, {}}, {{}, server->password()}, {fromFile, QStringLiteral("wrong")}}) {
        Cli cli;
        if (!environment.isEmpty()) {
            cli.environment().insert(QStringLiteral("TESSALY_PASSWORD"), environment);
        }
        const CliRun run = cli.run(QStringList{QStringLiteral("--user"), server->userName()} + options +
                                   QStringList{Address(*server)});
        EXPECT_EQ(run.exitCode, 0) << options.join(u' ').toStdString() << " env "
                                   << environment.toStdString();
        EXPECT_TRUE(run.lines.contains("              230 Login successful.")) << run.text();
    }
}

// Ctrl+C or a kill while the user name or the password is typed ends tessaly-cli as the signal would,
// and gives the terminal its echo back.
TEST(CliLoginOnTerminal, ASignalAtThePasswordPromptGivesTheEchoBack) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    Cli cli;
    struct Case {
        int signal;
        bool atPassword;
    };
    for (const Case c : {Case{SIGINT, true}, Case{SIGTERM, true}, Case{SIGINT, false}}) {
        SCOPED_TRACE(std::string(::strsignal(c.signal)) +
                     (c.atPassword ? " at the password" : " at the user"));
        const std::unique_ptr<TerminalCli> terminal =
            cli.startOnTerminal({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                 QStringLiteral("wrong"), Address(*server)});
        ASSERT_TRUE(terminal->started());
        // The server refuses the password; the user is asked again on the terminal.
        ASSERT_TRUE(terminal->waitForOutput("User name [alice]: ", 30000))
            << terminal->output().toStdString();
        if (c.atPassword) {
            terminal->type("\r");
            ASSERT_TRUE(terminal->waitForOutput("Password: ", 10000)) << terminal->output().toStdString();
            ASSERT_TRUE(terminal->waitForEcho(false, 10000)) << "the prompt left the echo on";
        }
        if (c.signal == SIGINT) {
            terminal->type("\x03");
        } else {
            ::kill(terminal->pid(), SIGTERM);
        }
        ASSERT_TRUE(terminal->waitForExit(10000)) << terminal->output().toStdString();
        EXPECT_EQ(terminal->terminatingSignal(), c.signal);
        EXPECT_TRUE(terminal->echoOn());
    }
}

// passwd on a terminal asks for each password with the echo off; Ctrl+C at the second ends
// tessaly-cli as the signal would, gives the terminal its echo back and sends nothing. The password
// typed never showed.
TEST(CliLoginOnTerminal, CtrlCAtThePasswdPromptGivesTheEchoBack) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    Cli cli;
    const std::unique_ptr<TerminalCli> terminal =
        cli.startOnTerminal({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                             server->password(), Address(*server), QStringLiteral("passwd")});
    ASSERT_TRUE(terminal->started());
    ASSERT_TRUE(terminal->waitForOutput("Old password: ", 30000)) << terminal->output().toStdString();
    ASSERT_TRUE(terminal->waitForEcho(false, 10000)) << "the prompt left the echo on";
    terminal->type("0ld-w0rd\n");
    ASSERT_TRUE(terminal->waitForOutput("New password: ", 10000)) << terminal->output().toStdString();
    EXPECT_FALSE(terminal->echoOn());
    terminal->type("\x03");
    ASSERT_TRUE(terminal->waitForExit(10000)) << terminal->output().toStdString();
    EXPECT_EQ(terminal->terminatingSignal(), SIGINT);
    EXPECT_TRUE(terminal->echoOn());
    EXPECT_FALSE(terminal->output().contains("0ld-w0rd")) << terminal->output().toStdString();
    EXPECT_FALSE(terminal->output().contains("SITE")) << terminal->output().toStdString();
}

TEST(CliLogin, ClosedPortIsTriedRetryNumberTimes) {
    Cli cli;
    cli.settings().WriteInt(u"General", u"RetryNumber", 3);
    const quint16 port = FindFreeTcpPort();
    const CliRun run = cli.run({QStringLiteral("127.0.0.1:%1").arg(port)});
    const QList<QByteArray> expected = {
        Connecting(),
        "ERROR:>  Cannot connect target, processing next attemption...",
        "",
        Connecting(),
        "ERROR:>  Cannot connect target, processing next attemption...",
        "",
        Connecting(),
        "ERROR:>  Connect target failed, disconnect.",
        "",
    };
    EXPECT_EQ(run.lines, expected) << run.text();
    EXPECT_EQ(run.exitCode, 2);
}

TEST(CliLogin, UnresolvableHostGivesUpAfterTheLookups) {
    Cli cli;
    cli.settings().WriteInt(u"General", u"RetryNumber", 2);
    const CliRun run = cli.run({QStringLiteral("no-such-host.invalid")});
    const QList<QByteArray> expected = {
        "STATUS:>  Connecting to FTP server[no-such-host.invalid(<stamp>)]...",
        "ERROR:>  Cannot resolve target host name, process next attemption...",
        "",
        "STATUS:>  Connecting to FTP server[no-such-host.invalid(<stamp>)]...",
        "ERROR:>  Cannot resolve hostname, disconnect.",
        "",
    };
    EXPECT_EQ(run.lines, expected) << run.text();
    EXPECT_EQ(run.exitCode, 2);
}

TEST(CliLogin, BadArgumentsGiveTheUsage) {
    Cli cli;
    for (const QStringList& arguments :
         {QStringList{}, QStringList{QStringLiteral("--port")}, QStringList{QStringLiteral("host:99999")},
          QStringList{QStringLiteral("host"), QStringLiteral("frobnicate")}}) {
        const CliRun run = cli.run(arguments);
        EXPECT_EQ(run.exitCode, 64) << run.text();
        EXPECT_TRUE(run.text().find("usage: tessaly-cli") != std::string::npos) << run.text();
    }
    // --help prints the usage on standard output, with the warning about --pass.
    const CliRun help = cli.run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith("usage: tessaly-cli")) << help.output.toStdString();
    EXPECT_TRUE(help.output.contains("every local user can read it")) << help.output.toStdString();
}

} // namespace
} // namespace tessaly::test
