// What the Quick Connect bar's fields start a session with.
#include "sites/QuickConnect.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

class QuickConnect : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    SettingsStore settings_{dir_.path() + u"/tessaly.INI"_s};
};

TEST_F(QuickConnect, EmptyHostStartsNothing) {
    EXPECT_FALSE(QuickConnectRequest({u""_s, u"bob"_s, u"pw"_s, u"21"_s}, settings_));
}

TEST_F(QuickConnect, OneFtpPrefixOfAnyCaseIsDropped) {
    EXPECT_EQ(QuickConnectRequest({u"FTP://ftp.example.org"_s, {}, {}, u"21"_s}, settings_)->host,
              "ftp.example.org");
    EXPECT_EQ(QuickConnectRequest({u"ftp://ftp://x"_s, {}, {}, u"21"_s}, settings_)->host, "ftp://x");
    // The prefix alone is a host name as typed.
    EXPECT_EQ(QuickConnectRequest({u"ftp://"_s, {}, {}, u"21"_s}, settings_)->host, "ftp://");
    // Nothing else of an address is read: user, port and path stay part of the host.
    EXPECT_EQ(QuickConnectRequest({u"ftp://u@h:2121/p"_s, {}, {}, u"21"_s}, settings_)->host, "u@h:2121/p");
}

TEST_F(QuickConnect, AnonymousDefaults) {
    const auto empty = QuickConnectRequest({u"h"_s, {}, {}, u"21"_s}, settings_);
    EXPECT_EQ(empty->userName, "anonymous");
    EXPECT_EQ(empty->password, FtpSession::kPlaceholderEmail);
    settings_.WriteString(u"General", u"AnommousEmail", u"me@example.org"_s);
    EXPECT_EQ(QuickConnectRequest({u"h"_s, u"anonymous"_s, {}, u"21"_s}, settings_)->password,
              "me@example.org");
    // Only the exact name fills in the e-mail; the session still counts as anonymous by its name.
    const auto capital = QuickConnectRequest({u"h"_s, u"Anonymous"_s, {}, u"21"_s}, settings_);
    EXPECT_EQ(capital->userName, "Anonymous");
    EXPECT_EQ(capital->password, "");
    EXPECT_TRUE(FtpSession::IsAnonymousName(capital->userName));
    // A typed password is kept.
    EXPECT_EQ(QuickConnectRequest({u"h"_s, {}, u"pw"_s, u"21"_s}, settings_)->password, "pw");
}

TEST_F(QuickConnect, NamesKeepTheirCharacters) {
    const auto request =
        QuickConnectRequest({u"hôte.example"_s, u"jürgen"_s, u"pässword"_s, u"21"_s}, settings_);
    EXPECT_EQ(request->host, "h\xc3\xb4te.example");
    EXPECT_EQ(request->userName, "j\xc3\xbcrgen");
    EXPECT_EQ(request->password, "p\xc3\xa4ssword");
}

TEST(QuickConnectPortText, CommasGoAndTheLeadingNumberCounts) {
    EXPECT_EQ(QuickConnectPort(u"2,121"_s), 2121);
    EXPECT_EQ(QuickConnectPort(u"21"_s), 21);
    EXPECT_EQ(QuickConnectPort(u"21abc"_s), 21);
    EXPECT_EQ(QuickConnectPort(u"abc"_s), 0);
    EXPECT_EQ(QuickConnectPort(u""_s), 0);
    EXPECT_EQ(QuickConnectPort(u" 21"_s), 21);
    EXPECT_EQ(QuickConnectPort(u"65,535"_s), 65535);
    // Beyond a port number: no port, which the connection then reports as refused.
    EXPECT_EQ(QuickConnectPort(u"65536"_s), 0);
    EXPECT_EQ(QuickConnectPort(u"99999999999999999999"_s), 0);
}

} // namespace
} // namespace tessaly
