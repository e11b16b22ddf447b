// tessaly-cli get DIR fetches a whole tree from each real server, compared with diff -r.
#include "support/CliRunner.h"
#include "support/TestTree.h"
#include "support/TransferCases.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

class DownloadTree : public ::testing::TestWithParam<ServerCase> {};

TEST_P(DownloadTree, CliGetFetchesTheWholeTree) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server);
    const QString remoteTree = server->root() + u"/tree"_s;
    ASSERT_TRUE(WriteTestTree(remoteTree));
    QTemporaryDir target;
    Cli cli;
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                server->password(), QStringLiteral("127.0.0.1:%1").arg(server->port()),
                                QStringLiteral("get"), QStringLiteral("tree"), target.path()});
    EXPECT_EQ(run.exitCode, 0) << run.text();
    // Every file once.
    EXPECT_EQ(run.count(">  RETR "), kTestTreeFiles) << run.text();
    EXPECT_EQ(TreeDifferences(remoteTree, target.filePath(QStringLiteral("tree"))), QString())
        << qPrintable(server->logText().right(4000));
}

INSTANTIATE_TEST_SUITE_P(RealServers, DownloadTree, ::testing::ValuesIn(kServerCases), NameOfCase());

} // namespace
} // namespace tessaly::test
