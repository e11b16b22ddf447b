// tessaly-cli get DIR fetches a whole tree from each real server, compared with diff -r.
#include "support/CliRunner.h"
#include "support/FtpServerProcess.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using Kind = FtpServerProcess::Kind;
using namespace Qt::StringLiterals;

constexpr int kTreeFiles = 300;

// 300 files in three levels of directories: text files (fetched in TYPE A) and binary ones holding
// CR and LF bytes, some empty, names with spaces, and one empty directory.
//   tree/: 10 files, "empty dir"/ and five directories of 10 files, each with four of 12 files.
class TreeWriter {
public:
    explicit TreeWriter(QString base) : base_(std::move(base)) {}

    bool write() {
        bool ok = QDir().mkpath(base_ + u"/empty dir"_s) && writeFiles(base_, 10);
        for (int a = 0; a < 5; ++a) {
            const QString level1 = base_ + (a == 2 ? u"/with space %1"_s : u"/level%1"_s).arg(a);
            ok = ok && writeFiles(level1, 10);
            for (int b = 0; b < 4; ++b)
                ok = ok && writeFiles(level1 + u"/sub%1"_s.arg(b), 12);
        }
        return ok && written_ == kTreeFiles;
    }

private:
    bool writeFiles(const QString& directory, int count) {
        if (!QDir().mkpath(directory))
            return false;
        for (int i = 0; i < count; ++i, ++written_) {
            const bool text = written_ % 3 == 0;
            const qsizetype size = written_ % 25 == 0 ? 0 : (written_ * 7919) % 6000;
            QByteArray bytes;
            if (text) {
                for (int line = 0; bytes.size() < size; ++line)
                    bytes += "line " + QByteArray::number(line) + " of file " + QByteArray::number(written_) +
                             '\n';
            } else {
                bytes.resize(size);
                QRandomGenerator generator(static_cast<quint32>(written_));
                for (char& byte : bytes)
                    byte = static_cast<char>(generator.bounded(256));
            }
            QFile file(directory + (text ? u"/note %1.txt"_s : u"/data-%1.bin"_s).arg(written_));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                return false;
        }
        return true;
    }

    QString base_;
    int written_ = 0;
};

struct TreeCase {
    const char* name;
    Kind server;
};

class DownloadTree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(DownloadTree, CliGetFetchesTheWholeTree) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam().server);
    const QString remoteTree = server->root() + u"/tree"_s;
    ASSERT_TRUE(TreeWriter(remoteTree).write());
    QTemporaryDir target;
    Cli cli;
    const CliRun run = cli.run({QStringLiteral("--user"), server->userName(), QStringLiteral("--pass"),
                                server->password(), QStringLiteral("127.0.0.1:%1").arg(server->port()),
                                QStringLiteral("get"), QStringLiteral("tree"), target.path()});
    EXPECT_EQ(run.exitCode, 0) << run.text();
    // Every file once.
    const auto retrieved = std::count_if(run.lines.begin(), run.lines.end(),
                                         [](const QByteArray& line) { return line.contains(">  RETR "); });
    EXPECT_EQ(retrieved, kTreeFiles) << run.text();

    QProcess diff;
    diff.setProcessChannelMode(QProcess::MergedChannels);
    diff.start(QStringLiteral("diff"),
               {QStringLiteral("-r"), remoteTree, target.filePath(QStringLiteral("tree"))});
    ASSERT_TRUE(diff.waitForFinished(30000));
    EXPECT_EQ(diff.exitCode(), 0) << diff.readAll().left(4000).toStdString() << "\n"
                                  << qPrintable(server->logText().right(4000));
}

INSTANTIATE_TEST_SUITE_P(
    RealServers, DownloadTree,
    ::testing::Values(TreeCase{"Pyftpdlib", Kind::Pyftpdlib}, TreeCase{"Vsftpd", Kind::Vsftpd},
                      TreeCase{"Proftpd", Kind::Proftpd}, TreeCase{"PureFtpd", Kind::PureFtpd}),
    [](const ::testing::TestParamInfo<TreeCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tessaly::test
