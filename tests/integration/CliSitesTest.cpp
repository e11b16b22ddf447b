// tessaly-cli with the saved sites of its settings directory, against pyftpdlib: --site logs in with
// the first site of that label and lands in its remote path (an anonymous site with the configured
// e-mail); --sites lists the sites without their passwords; an unknown label is a usage error naming
// the labels there are, and a site whose port is no port number is refused before any connection.
#include "sites/SiteStore.h"
#include "support/CliRunner.h"
#include "support/FtpServerProcess.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

TEST(CliSites, ConnectsToASavedSiteByItsLabelAndListsTheSites) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    Cli cli;
    SiteStore sites(QFileInfo(cli.settings().filePath()).absolutePath() + QStringLiteral("/Favorites.dat"));
    const auto port = static_cast<qint32>(server->port());
    const QByteArray user = server->userName().toUtf8();
    for (const SiteProfile& site : {
             SiteProfile{"Docs", "127.0.0.1", user, "secret", port, "/pub/docs", {}, 0},
             SiteProfile{"Anon", "127.0.0.1", "anonymous", {}, port, "/pub", {}, 0},
             SiteProfile{"Docs", "127.0.0.1", "anonymous", {}, port, "/incoming", {}, 0},
             SiteProfile{"Far", "127.0.0.1", "anonymous", {}, 70000, "/", {}, 0},
         }) {
        ASSERT_TRUE(sites.Add(site).commandId);
    }
    ASSERT_TRUE(sites.Save().ok);

    const CliRun docs = cli.run(
        {QStringLiteral("--site"), QStringLiteral("Docs"), QStringLiteral("pwd"), QStringLiteral("ls")});
    EXPECT_EQ(docs.exitCode, 0) << docs.text();
    EXPECT_TRUE(docs.output.startsWith("/pub/docs\n")) << docs.output.toStdString();
    EXPECT_TRUE(docs.output.contains("\treadme.txt\t")) << docs.output.toStdString();
    EXPECT_EQ(docs.count("USER " + user), 1) << docs.text();

    const CliRun anonymous =
        cli.run({QStringLiteral("--site"), QStringLiteral("Anon"), QStringLiteral("pwd")});
    EXPECT_EQ(anonymous.exitCode, 0) << anonymous.text();
    EXPECT_EQ(anonymous.output, "/pub\n");
    EXPECT_EQ(anonymous.count("USER anonymous"), 1) << anonymous.text();

    const CliRun listed = cli.run({QStringLiteral("--sites")});
    EXPECT_EQ(listed.exitCode, 0) << listed.text();
    const QByteArray portText = QByteArray::number(port);
    EXPECT_EQ(listed.output, "Docs\t127.0.0.1\t" + portText + "\t" + user + "\t/pub/docs\n" +
                                 "Anon\t127.0.0.1\t" + portText + "\tanonymous\t/pub\n" +
                                 "Docs\t127.0.0.1\t" + portText + "\tanonymous\t/incoming\n" +
                                 "Far\t127.0.0.1\t70000\tanonymous\t/\n");

    const CliRun unknown =
        cli.run({QStringLiteral("--site"), QStringLiteral("Nowhere"), QStringLiteral("ls")});
    EXPECT_EQ(unknown.exitCode, 64);
    EXPECT_EQ(unknown.count("the saved sites are \"Docs\", \"Anon\", \"Docs\", \"Far\""), 1)
        << unknown.text();

    const CliRun far = cli.run({QStringLiteral("--site"), QStringLiteral("Far"), QStringLiteral("ls")});
    EXPECT_EQ(far.exitCode, 2);
    EXPECT_EQ(far.count("has port 70000, which is not a port number"), 1) << far.text();
    EXPECT_EQ(far.count("USER"), 0) << far.text();
}

} // namespace
} // namespace tessaly::test
