#include "session/PassiveReply.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

TEST(PassiveReply, AddressAndPortOfThe227Text) {
    const auto address = ParsePassiveReply("227 Entering Passive Mode (192,168,1,2,19,137).\r\n");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->host, "192.168.1.2");
    EXPECT_EQ(address->port, 5001);
}

TEST(PassiveReply, NumbersAreReadAsTheCLibraryReadsThem) {
    const auto address = ParsePassiveReply("227 =( 10, 0,0, 5, +1 ,2x)");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->host, "10.0.0.5");
    EXPECT_EQ(address->port, 258);
}

TEST(PassiveReply, MalformedRepliesGiveNothing) {
    for (const char* text : {"227 Entering Passive Mode", "227 (1,2,3,4,5)", "227 (1,2,3,4,5,6",
                             "227 (1,2,3,4,0,0)", "227 (300,2,3,4,5,6)", "227 (evil,example,org,x,5,6)",
                             "227 (1,2,3,4,5,6,7)", "227 (1,2,3,4,999999999999999,6)"}) {
        EXPECT_FALSE(ParsePassiveReply(text).has_value()) << text;
    }
}

TEST(PassiveReply, PortCommandFromTheLocalAddress) {
    in_addr address{};
    ::inet_aton("10.0.0.5", &address);
    EXPECT_EQ(FormatPortCommand(address.s_addr, htons(4660)), "PORT 10,0,0,5,18,52");
}

} // namespace
} // namespace tessaly
