#include "app/cli/CliOptions.h"

#include "app/cli/CliDriver.h"
#include "session/RemotePath.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

CliParseResult Parse(const std::vector<const char*>& words) {
    QStringList arguments{QStringLiteral("tessaly-cli")};
    for (const char* word : words) {
        arguments.append(QString::fromUtf8(word));
    }
    return ParseCliArguments(arguments);
}

TEST(CliOptions, HostPortUserPasswordAndCommands) {
    const CliParseResult r = Parse({"--user", "alice", "--pass", "s3cret", "--config-dir", "/tmp/c",
                                    "ftp.example.org:2121", "quote", "CWD /pub", "quote", "NOOP"});
    ASSERT_TRUE(r.options) << r.error.toStdString();
    EXPECT_EQ(r.options->host, "ftp.example.org");
    EXPECT_EQ(r.options->port, 2121);
    EXPECT_EQ(r.options->user.value_or(""), "alice");
    EXPECT_EQ(r.options->password.value_or(""), "s3cret");
    EXPECT_EQ(r.options->configDir, QStringLiteral("/tmp/c"));
    using K = CliCommand::Kind;
    EXPECT_EQ(r.options->commands, (QList<CliCommand>{{K::Quote, "CWD /pub"}, {K::Quote, "NOOP"}}));
}

TEST(CliOptions, ListingCommands) {
    const CliParseResult r = Parse({"host", "ls", "cd", "pub dir", "ls", "up", "pwd"});
    ASSERT_TRUE(r.options) << r.error.toStdString();
    using K = CliCommand::Kind;
    EXPECT_EQ(r.options->commands,
              (QList<CliCommand>{{K::Ls, {}}, {K::Cd, "pub dir"}, {K::Ls, {}}, {K::Up, {}}, {K::Pwd, {}}}));
}

TEST(CliOptions, PortDefaultsTo21AndMayComeFromTheOption) {
    EXPECT_EQ(Parse({"host"}).options->port, 21);
    EXPECT_EQ(Parse({"--port", "990", "host"}).options->port, 990);
    EXPECT_EQ(Parse({"--port", "990", "host:990"}).options->port, 990);
    EXPECT_FALSE(Parse({"host"}).options->user.has_value());
}

TEST(CliOptions, FtpSchemeStaysInTheHostAndItsColonIsNoPort) {
    const CliParseResult plain = Parse({"ftp://example.org"});
    ASSERT_TRUE(plain.options);
    EXPECT_EQ(plain.options->host, "ftp://example.org");
    EXPECT_EQ(plain.options->port, 21);
    const CliParseResult withPort = Parse({"FTP://example.org:2100"});
    ASSERT_TRUE(withPort.options);
    EXPECT_EQ(withPort.options->host, "FTP://example.org");
    EXPECT_EQ(withPort.options->port, 2100);
}

TEST(CliOptions, BadArgumentsAreRefused) {
    for (const std::vector<const char*>& words : std::vector<std::vector<const char*>>{
             {},
             {"--user"},
             {"--port", "0", "h"},
             {"--port", "70000", "h"},
             {"h:port"},
             {"--port", "21", "h:22"},
             {"--bogus", "x", "h"},
             {"ftp://"},
             {":21"},
             {"h", "quote"},
             {"h", "get", "x"},
             {"h", "quote", "NOOP\r\nDELE x"},
             {"h", "cd"},
             {"h", "cd", ""},
         }) {
        const CliParseResult r = Parse(words);
        EXPECT_FALSE(r.options.has_value()) << (r.options ? r.options->host.toStdString() : "");
    }
}

} // namespace
} // namespace tessaly

namespace tessaly {
namespace {

TEST(CliPaths, ResolveAndParent) {
    EXPECT_EQ(ResolveRemotePath("/", "pub"), "/pub");
    EXPECT_EQ(ResolveRemotePath("/pub", "docs"), "/pub/docs");
    EXPECT_EQ(ResolveRemotePath("/pub", "/etc"), "/etc");
    EXPECT_EQ(ParentRemotePath("/pub/docs"), "/pub");
    EXPECT_EQ(ParentRemotePath("/pub"), "/");
    EXPECT_EQ(ParentRemotePath("/"), "/");
}

} // namespace
} // namespace tessaly
