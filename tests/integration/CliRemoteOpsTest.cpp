// tessaly-cli changes real servers: mkdir, rename, chmod and rm of a tree in one run, each seen on the
// server's disk; rm of a name the listing does not hold; passwd, whose SITE PSWD the servers refuse.
#include "support/CliRunner.h"
#include "support/TransferCases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

constexpr ServerCase kCliServerCases[] = {
    {"Vsftpd", FtpServerProcess::Kind::Vsftpd},
    {"PureFtpd", FtpServerProcess::Kind::PureFtpd},
};

class CliRemoteOps : public ::testing::TestWithParam<ServerCase> {
protected:
    void SetUp() override { TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server); }

    // The path on the server's disk of a name in incoming/.
    QString disk(const QString& name) const { return server->root() + u"/incoming/"_s + name; }
    // Options and address that log in as the server's user.
    QStringList login() const {
        return {QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"), server->password(),
                QStringLiteral("127.0.0.1:%1").arg(server->port())};
    }
    // The commands of a run that begin with one of `verbs`, in order.
    static QList<QByteArray> Sent(const CliRun& run, const QList<QByteArray>& verbs) {
        QList<QByteArray> sent;
        for (const QByteArray& line : run.lines) {
            if (!line.startsWith("COMMAND:>  ")) {
                continue;
            }
            const QByteArray command = line.mid(11);
            for (const QByteArray& verb : verbs) {
                if (command.startsWith(verb)) {
                    sent.append(command);
                }
            }
        }
        return sent;
    }

    std::unique_ptr<FtpServerProcess> server;
    Cli cli;
};

TEST_P(CliRemoteOps, MakeRenameChmodAndRemoveATree) {
    // Three levels, a file at each, that the server's user may delete.
    for (const QString& directory : {u"tree"_s, u"tree/sub"_s, u"tree/sub/deeper"_s}) {
        ASSERT_TRUE(QDir().mkpath(disk(directory)));
        ASSERT_EQ(::chmod(QFile::encodeName(disk(directory)).constData(), 0777), 0);
        QFile file(disk(directory + u"/file.txt"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("text\n");
    }
    const CliRun run = cli.run(login() + QStringList{u"cd"_s, u"incoming"_s, u"mkdir"_s, u"made"_s,
                                                     u"rename"_s, u"made"_s, u"renamed"_s, u"chmod"_s,
                                                     u"750"_s, u"renamed"_s, u"rm"_s, u"tree"_s, u"ls"_s});
    EXPECT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(run.count("Command:>"), 0) << run.text(); // no failure report
    EXPECT_EQ(
        Sent(run, {"MKD ", "RNFR ", "RNTO ", "SITE ", "RMD "}),
        (QList<QByteArray>{"MKD made", "RNFR made", "RNTO renamed", "SITE CHMOD 750 renamed",
                           "RMD /incoming/tree/sub/deeper", "RMD /incoming/tree/sub", "RMD /incoming/tree"}))
        << run.text();
    QList<QByteArray> deleted = Sent(run, {"DELE "});
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted,
              (QList<QByteArray>{"DELE /incoming/tree/file.txt", "DELE /incoming/tree/sub/deeper/file.txt",
                                 "DELE /incoming/tree/sub/file.txt"}))
        << run.text();
    EXPECT_FALSE(QFileInfo::exists(disk(u"made"_s)));
    EXPECT_FALSE(QFileInfo::exists(disk(u"tree"_s)));
    ASSERT_TRUE(QFileInfo(disk(u"renamed"_s)).isDir());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(disk(u"renamed"_s)).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    // The listing after the last change, as ls prints it: type, name, size, date, time, permissions.
    QList<QByteArray> listed;
    for (const QByteArray& line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 6) {
            listed.append(fields[0] + ' ' + fields[1] + ' ' + fields[5].left(9));
        }
    }
    EXPECT_EQ(listed, QList<QByteArray>{"d renamed rwxr-x---"}) << run.output.toStdString();
}

// The name is not in the listing: nothing is deleted, the commands after it still run, and the run
// fails.
TEST_P(CliRemoteOps, RmOfANameNotListedFails) {
    const CliRun run =
        cli.run(login() + QStringList{u"cd"_s, u"incoming"_s, u"rm"_s, u"missing"_s, u"mkdir"_s, u"after"_s});
    EXPECT_EQ(run.exitCode, 1) << run.text();
    EXPECT_EQ(run.count("tessaly-cli: rm: missing is not in the current listing"), 1) << run.text();
    EXPECT_EQ(Sent(run, {"DELE ", "RMD "}), QList<QByteArray>()) << run.text();
    EXPECT_TRUE(QFileInfo(disk(u"after"_s)).isDir()) << run.text();
}

// The passwords typed on a terminal at its prompts, as a user would (the run helper gives standard
// input nothing), with the echo off: they never show. SITE PSWD goes out masked in the log, the
// server refuses it, the refusal is reported with its reply and the run fails.
TEST_P(CliRemoteOps, PasswdThatTheServerRefusesFails) {
    const std::unique_ptr<TerminalCli> terminal = cli.startOnTerminal(login() + QStringList{u"passwd"_s});
    ASSERT_TRUE(terminal->started());
    for (const auto& [prompt, typed] :
         {std::pair{"Old password: ", "0ld-w0rd\n"}, {"New password: ", "n3w-w0rd\n"}}) {
        ASSERT_TRUE(terminal->waitForOutput(prompt, 30000)) << terminal->output().toStdString();
        ASSERT_TRUE(terminal->waitForEcho(false, 10000)) << "the echo is on at " << prompt;
        terminal->type(typed);
    }
    ASSERT_TRUE(terminal->waitForExit(60000)) << terminal->output().toStdString();
    const QByteArray& shown = terminal->output();
    EXPECT_EQ(terminal->exitCode(), 1) << shown.toStdString();
    EXPECT_TRUE(terminal->echoOn());
    EXPECT_FALSE(shown.contains("0ld-w0rd") || shown.contains("n3w-w0rd")) << shown.toStdString();
    const qsizetype sent = shown.indexOf("COMMAND:>  PASS ********\r\n", shown.indexOf("230 "));
    ASSERT_GE(sent, 0) << shown.toStdString();
    const qsizetype report = shown.indexOf("Some commands execute failed", sent);
    ASSERT_GT(report, sent) << shown.toStdString();
    EXPECT_TRUE(shown.mid(report).contains("Command:>PASS ********\r\n         500 ")) << shown.toStdString();
}

INSTANTIATE_TEST_SUITE_P(RealServers, CliRemoteOps, ::testing::ValuesIn(kCliServerCases), NameOfCase());

} // namespace
} // namespace tessaly::test
