// tessaly-cli put DIR sends a whole tree, hidden files included, to each real server, compared with
// diff -r: first into a directory where it does not exist yet, then again over the existing tree.
#include "support/CliRunner.h"
#include "support/TestTree.h"
#include "support/TransferCases.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

// The final reply codes to the commands that begin with `verb`, in order: the code of the last reply
// line before the next command.
QList<QByteArray> ReplyCodes(const CliRun& run, QByteArrayView verb) {
    static const QByteArray kCommand = "COMMAND:>  ";
    static const QByteArray kReplyIndent(14, ' ');
    QList<QByteArray> codes;
    bool inside = false;
    for (const QByteArray& line : run.lines) {
        if (line.startsWith(kCommand)) {
            inside = line.sliced(kCommand.size()).startsWith(verb);
            if (inside)
                codes.append(QByteArray());
        } else if (inside && line.startsWith(kReplyIndent)) {
            codes.last() = line.trimmed().left(3);
        } else if (!line.startsWith("STATUS:>") && !line.startsWith("tessaly-cli: ") && !line.isEmpty()) {
            inside = false; // the failure report at the end
        }
    }
    return codes;
}

class UploadTree : public ::testing::TestWithParam<ServerCase> {};

TEST_P(UploadTree, CliPutSendsTheWholeTreeAndThenOverwritesIt) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server);
    QTemporaryDir local;
    const QString localTree = local.filePath(QStringLiteral("tree"));
    ASSERT_TRUE(WriteTestTree(localTree, {.hiddenNames = true}));
    // The servers' roots belong to root: their users write into incoming/.
    const QString remoteTree = server->root() + u"/incoming/tree"_s;
    Cli cli;
    const QStringList put{QStringLiteral("--user"),
                          server->userName(),
                          QStringLiteral("--pass"),
                          server->password(),
                          QStringLiteral("127.0.0.1:%1").arg(server->port()),
                          QStringLiteral("put"),
                          localTree,
                          QStringLiteral("incoming")};

    // Into incoming/, where no tree is yet: MKD makes every directory, and a file of a directory just
    // made is sent without asking its SIZE.
    const CliRun first = cli.run(put);
    EXPECT_EQ(first.exitCode, 0) << first.text();
    EXPECT_EQ(ReplyCodes(first, "MKD "), QList<QByteArray>(kTestTreeDirectories, "257")) << first.text();
    EXPECT_EQ(first.count(">  SIZE "), 0) << first.text();
    EXPECT_EQ(ReplyCodes(first, "STOR "), QList<QByteArray>(kTestTreeFiles, "226")) << first.text();
    EXPECT_EQ(TreeDifferences(localTree, remoteTree), QString()) << qPrintable(server->logText().right(4000));

    // Again, with every file changed: each MKD is refused and reported, the files go into the existing
    // directories, and each one is asked about with SIZE and overwritten.
    ASSERT_TRUE(WriteTestTree(localTree, {.hiddenNames = true, .version = 1}));
    const CliRun second =
        cli.run(QStringList{QStringLiteral("--on-conflict"), QStringLiteral("overwrite")} + put);
    EXPECT_EQ(second.exitCode, 1) << second.text();
    const QList<QByteArray> mkdReplies = ReplyCodes(second, "MKD ");
    EXPECT_EQ(mkdReplies.size(), kTestTreeDirectories) << second.text();
    EXPECT_TRUE(std::all_of(mkdReplies.begin(), mkdReplies.end(), [](const QByteArray& code) {
        return code.startsWith('5');
    })) << second.text();
    EXPECT_EQ(second.count("Command:>MKD "), kTestTreeDirectories) << second.text();
    EXPECT_EQ(ReplyCodes(second, "SIZE "), QList<QByteArray>(kTestTreeFiles, "213")) << second.text();
    EXPECT_EQ(second.count(" exists: overwritten (--on-conflict overwrite)"), kTestTreeFiles)
        << second.text();
    EXPECT_EQ(ReplyCodes(second, "STOR "), QList<QByteArray>(kTestTreeFiles, "226")) << second.text();
    EXPECT_EQ(TreeDifferences(localTree, remoteTree), QString()) << qPrintable(server->logText().right(4000));
}

INSTANTIATE_TEST_SUITE_P(RealServers, UploadTree, ::testing::ValuesIn(kServerCases), NameOfCase());

} // namespace
} // namespace tessaly::test
