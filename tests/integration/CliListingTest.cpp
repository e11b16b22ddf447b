// Listings from real servers through tessaly-cli, passive and active: the login directory, a
// sub-directory and back from the cache, names with blanks and bytes that are not UTF-8, a
// symbolic link, an empty directory; a directory whose listing output spans many of the chunks it is
// written in; the same listing through a SOCKS5 proxy; and names holding escape sequences, on a
// terminal and into a pipe.
#include "support/CliRunner.h"
#include "support/FtpServerProcess.h"
#include "support/ProxyProcess.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly::test {
namespace {

using ServerKind = FtpServerProcess::Kind;

// Adds to the served tree: pub/dir with blanks/inner.txt, pub/empty/, pub/link-to-hello (a
// symbolic link) and, where the server sends names as bytes, a name that is not UTF-8.
void AddEntries(const FtpServerProcess& server, bool rawName) {
    const QString pub = server.root() + QStringLiteral("/pub");
    QDir().mkpath(pub + QStringLiteral("/dir with blanks"));
    QDir().mkpath(pub + QStringLiteral("/empty"));
    QFile inner(pub + QStringLiteral("/dir with blanks/inner.txt"));
    ASSERT_TRUE(inner.open(QIODevice::WriteOnly));
    inner.write("inner\n");
    inner.close();
    QFile::link(QStringLiteral("hello.txt"), pub + QStringLiteral("/link-to-hello"));
    if (rawName) {
        const QByteArray name = QFile::encodeName(pub) + "/caf\xe9.txt";
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
}

struct ListingCase {
    const char* name;
    ServerKind server;
    bool passive;
};

class CliListing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(CliListing, BrowsesIntoADirectoryAndBackFromTheCache) {
    const ListingCase& c = GetParam();
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, c.server);
    const bool rawName = c.server == ServerKind::Vsftpd;
    AddEntries(*server, rawName);
    // A name Qt cannot decode is removed by its bytes, before the server's tree goes.
    struct RawNameRemover {
        QByteArray path;
        ~RawNameRemover() { ::unlink(path.constData()); }
    } remover{QFile::encodeName(server->root()) + "/pub/caf\xe9.txt"};
    Cli cli;
    cli.settings().WriteInt(u"Advance", u"PasvMode", c.passive ? 1 : 0);
    // `pwd` separates the listings in the output: its line is "/..." and no `ls` line starts so.
    const CliRun run = cli.run({QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("ls"),
                                QStringLiteral("cd"), QStringLiteral("pub"), QStringLiteral("ls"),
                                QStringLiteral("cd"), QStringLiteral("dir with blanks"), QStringLiteral("ls"),
                                QStringLiteral("up"), QStringLiteral("ls"), QStringLiteral("cd"),
                                QStringLiteral("empty"), QStringLiteral("ls"), QStringLiteral("pwd")});
    ASSERT_EQ(run.exitCode, 0) << run.text();
    // The listings follow each other in the output: the root, pub, the inner directory, pub again
    // (from the cache), the empty directory; then the pwd line.
    QList<QByteArray> flat;
    for (const QByteArray& line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 6) {
            flat.append(fields[0] + ' ' + fields[1]);
        }
    }
    EXPECT_TRUE(run.output.endsWith("/pub/empty\n")) << run.output.toStdString();
    const QList<QByteArray> root = {"d incoming", "d pub"};
    QList<QByteArray> pub = {"d dir with blanks", "d docs", "d empty", "d link-to-hello", "- big.bin"};
    if (rawName) {
        pub.append("- caf\xe9.txt");
    }
    pub.append({"- file with space.txt", "- hello.txt"});
    const qsizetype p = root.size();
    ASSERT_EQ(flat.size(), p + pub.size() + 1 + pub.size()) << run.output.toStdString();
    EXPECT_EQ(flat.mid(0, p), root) << run.output.toStdString();
    // Directories come first; within each group the server's order is kept, so compare sorted.
    auto sortedGroups = [](const QList<QByteArray>& block) {
        QList<QByteArray> directories, files;
        for (const QByteArray& name : block) {
            (name.startsWith("d ") ? directories : files).append(name);
        }
        std::sort(directories.begin(), directories.end());
        std::sort(files.begin(), files.end());
        return directories + files;
    };
    EXPECT_EQ(sortedGroups(flat.mid(p, pub.size())), pub) << run.output.toStdString();
    EXPECT_EQ(flat.mid(p + pub.size(), 1), QList<QByteArray>{"- inner.txt"}) << run.output.toStdString();
    EXPECT_EQ(flat.mid(p + pub.size() + 1), flat.mid(p, pub.size())) << "the cached listing differs";

    // Going up sends CDUP alone; the empty directory is listed with a data connection.
    const qsizetype up = run.lines.indexOf("COMMAND:>  CDUP");
    ASSERT_GT(up, 0) << run.text();
    EXPECT_TRUE(run.lines.at(up + 2).startsWith("COMMAND:>  CWD /pub/empty")) << run.text();
    EXPECT_EQ(run.lines.count("STATUS:>  Open the data channel..."), 4) << run.text();
    EXPECT_EQ(run.lines.count(c.passive ? "COMMAND:>  PASV" : "COMMAND:>  PASV"), c.passive ? 4 : 0)
        << run.text();
}

INSTANTIATE_TEST_SUITE_P(RealServers, CliListing,
                         ::testing::Values(ListingCase{"VsftpdPassive", ServerKind::Vsftpd, true},
                                           ListingCase{"VsftpdActive", ServerKind::Vsftpd, false},
                                           ListingCase{"PyftpdlibPassive", ServerKind::Pyftpdlib, true},
                                           ListingCase{"PyftpdlibActive", ServerKind::Pyftpdlib, false}),
                         [](const ::testing::TestParamInfo<ListingCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(CliListingDos, MsDosStyleListingOfAWindowsLikeServer) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::PyftpdlibDos);
    Cli cli;
    const CliRun run = cli.run({QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("cd"),
                                QStringLiteral("pub"), QStringLiteral("ls")});
    ASSERT_EQ(run.exitCode, 0) << run.text();
    EXPECT_TRUE(run.lines.contains("              215 Windows_NT")) << run.text();
    QList<QByteArray> names;
    for (const QByteArray& line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 6) {
            names.append(fields[0] + ' ' + fields[1] + ' ' + fields[2]);
            // MS-DOS lines carry no permissions; the date is year-month-day, the time HH:MM.
            EXPECT_TRUE(fields[5].isEmpty()) << line.toStdString();
            EXPECT_EQ(fields[3].size(), 10) << line.toStdString();
            EXPECT_EQ(fields[4].size(), 5) << line.toStdString();
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QList<QByteArray>{"- big.bin 307200", "- file with space.txt 20", "- hello.txt 12",
                                        "d docs 0"}))
        << run.output.toStdString();
}

TEST(CliListingLarge, PrintsEveryEntryOfADirectoryWhoseOutputSpansManyChunks) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Vsftpd);
    const QByteArray many = QFile::encodeName(server->root()) + "/many";
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(many)));
    QList<QByteArray> expected;
    for (int i = 0; i < 4000; ++i) {
        const QByteArray name = "entry " + QByteArray::number(i).rightJustified(5, '0') + QByteArray(40, 'n');
        const int fd = ::open((many + '/' + name).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
        expected.append("- " + name);
    }
    Cli cli;
    const CliRun run = cli.run({QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("cd"),
                                QStringLiteral("many"), QStringLiteral("ls")});
    ASSERT_EQ(run.exitCode, 0) << run.text();
    EXPECT_GT(run.output.size(), 4 * 64 * 1024);
    QList<QByteArray> names;
    for (const QByteArray& line : run.output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() == 6) {
            names.append(fields[0] + ' ' + fields[1]);
            EXPECT_EQ(fields[2], "0") << line.toStdString();
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(run.output.endsWith('\n'));
}

TEST(CliListingThroughProxy, Socks5TunnelsTheDataConnectionToo) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Vsftpd);
    std::unique_ptr<ProxyProcess> proxy;
    TESSALY_START_PROXY_OR_SKIP(proxy, ProxyProcess::Kind::DanteNone, {});
    const QStringList arguments{QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("cd"),
                                QStringLiteral("pub"), QStringLiteral("ls")};
    Cli direct;
    const CliRun plain = direct.run(arguments);
    ASSERT_EQ(plain.exitCode, 0) << plain.text();
    Cli tunnelled;
    tunnelled.settings().WriteInt(u"Socks", u"UseSocks", 1);
    tunnelled.settings().WriteInt(u"Socks", u"SocksType", 2);
    tunnelled.settings().WriteString(u"Socks", u"SocksHost", QStringLiteral("127.0.0.1"));
    tunnelled.settings().WriteInt(u"Socks", u"SocksPort", proxy->port());
    const CliRun run = tunnelled.run(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.text();
    EXPECT_EQ(run.output, plain.output);
    EXPECT_FALSE(run.output.isEmpty());
    // The proxy carried the control connection and both listings' data connections.
    const QString log = proxy->logText();
    EXPECT_GE(log.count(QStringLiteral("127.0.0.1.%1").arg(server->port())) +
                  log.count(QStringLiteral("127.0.0.1:%1").arg(server->port())),
              1)
        << log.toStdString();
}

// The escape sequences shown by name, so that a failure message does not drive the terminal.
std::string Visible(QByteArray bytes) {
    return bytes.replace('\x1b', "<ESC>").replace('\x07', "<BEL>").toStdString();
}

TEST(CliListingOnTerminal, EscapeSequencesInNamesReachATerminalEscapedAndAPipeAsTheyAre) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Pyftpdlib);
    // A directory whose name would retitle the terminal, holding a file whose name would clear it.
    const QByteArray directory = "d\x1b]0;owned\x07";
    const QByteArray file = "\x1b[2Jwiped\\.txt";
    const QByteArray root = QFile::encodeName(server->root());
    ASSERT_EQ(::mkdir((root + '/' + directory).constData(), 0755), 0);
    const int fd = ::open((root + '/' + directory + '/' + file).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QStringList arguments{QStringLiteral("127.0.0.1:%1").arg(server->port()), QStringLiteral("cd"),
                                QString::fromUtf8(directory), QStringLiteral("ls"), QStringLiteral("pwd")};
    Cli cli;

    const CliRun piped = cli.run(arguments);
    ASSERT_EQ(piped.exitCode, 0) << Visible(piped.lines.join('\n'));
    EXPECT_TRUE(piped.output.startsWith("-\t" + file + "\t0\t")) << Visible(piped.output);
    EXPECT_TRUE(piped.output.endsWith("\n/" + directory + "\n")) << Visible(piped.output);

    const std::unique_ptr<TerminalCli> terminal = cli.startOnTerminal(arguments);
    ASSERT_TRUE(terminal->started());
    ASSERT_TRUE(terminal->waitForExit(60000)) << Visible(terminal->output());
    const QByteArray& shown = terminal->output(); // the log and the output, each LF as CR LF
    EXPECT_EQ(terminal->exitCode(), 0) << Visible(shown);
    EXPECT_FALSE(shown.contains('\x1b') || shown.contains('\x07')) << Visible(shown);
    EXPECT_TRUE(shown.contains("COMMAND:>  CWD /d\\x1B]0;owned\\x07\r\n")) << Visible(shown);
    EXPECT_TRUE(shown.contains("\n-\t\\x1B[2Jwiped\\\\.txt\t0\t")) << Visible(shown);
    EXPECT_TRUE(shown.contains("\n/d\\x1B]0;owned\\x07\r\n")) << Visible(shown);
}

} // namespace
} // namespace tessaly::test
