#include "session/LogonTables.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(LogonTables, DirectLogonSteps) {
    EXPECT_EQ(LogonCommandAt(FtpProxyType::None, 0), 0);     // USER
    EXPECT_EQ(NextLogonStep(FtpProxyType::None, 0, 331), 3); // 3xx: PASS
    EXPECT_EQ(NextLogonStep(FtpProxyType::None, 0, 230), kLoggedIn);
    EXPECT_EQ(NextLogonStep(FtpProxyType::None, 3, 332), 6); // ACCT
    EXPECT_EQ(LogonCommandAt(FtpProxyType::None, 6), 2);
    EXPECT_EQ(NextLogonStep(FtpProxyType::None, 6, 332), kLogonFailed);
}

TEST(LogonTables, RepliesTheTablesDoNotProvideForFailTheLogon) {
    // A 1xx or a 4xx would read a command code as the next step.
    EXPECT_EQ(NextLogonStep(FtpProxyType::None, 0, 120), kLogonFailed);
    EXPECT_EQ(NextLogonStep(FtpProxyType::None, 0, 450), kLogonFailed);
    EXPECT_EQ(NextLogonStep(FtpProxyType::SiteHostname, 63, 230), kLogonFailed);
    EXPECT_EQ(NextLogonStep(FtpProxyType::SiteHostname, -1, 230), kLogonFailed);
    EXPECT_EQ(LogonCommandAt(FtpProxyType::None, 62), -1);
}

TEST(LogonTables, CommandTextsAndTargets) {
    const LogonCredentials c{"user", "pw", "fw", "fwpw", "host.example", 21};
    EXPECT_EQ(LogonCommandText(0, c), "USER user");
    EXPECT_EQ(LogonCommandText(1, c), "PASS pw");
    EXPECT_EQ(LogonCommandText(2, c), "ACCT fwpw");
    EXPECT_EQ(LogonCommandText(3, c), "USER fw");
    EXPECT_EQ(LogonCommandText(4, c), "PASS fwpw");
    EXPECT_EQ(LogonCommandText(5, c), "SITE host.example");
    EXPECT_EQ(LogonCommandText(6, c), "USER user@host.example");
    EXPECT_EQ(LogonCommandText(7, c), "OPEN host.example");
    EXPECT_EQ(LogonCommandText(8, c), "USER fw@host.example");
    EXPECT_EQ(LogonCommandText(9, c), "USER user@host.example fw");
    EXPECT_EQ(LogonCommandText(10, c), "USER user@fw@host.example");
    EXPECT_EQ(LogonCommandText(11, c), "PASS pw@fwpw");
    LogonCredentials other = c;
    other.targetPort = 2121;
    EXPECT_EQ(LogonCommandText(5, other), "SITE host.example:2121");
    EXPECT_EQ(LogonCommandText(6, other), "USER user@host.example:2121");
}

} // namespace
} // namespace tessaly
