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

// RFC 1123 lets servers word the reply as they like: without parentheses, the first six numbers
// after the code are the address and port.
TEST(PassiveReply, RepliesWithoutParenthesesGiveTheFirstSixNumbers) {
    struct Case {
        const char* text;
        const char* host;
        quint16 port;
    };
    for (const Case& c : {Case{"227 Entering Passive Mode 192,168,1,2,19,137\r\n", "192.168.1.2", 5001},
                          Case{"227 =10,0,0,5,4,1", "10.0.0.5", 1025},
                          Case{"227 Passive 2 go: 10, 0, 0, 5, 0, 21.", "10.0.0.5", 21},
                          Case{"227 (1,2,3,4,5,6", "1.2.3.4", 1286},
                          Case{"227 port 7 at 12345678,1,2,3,4,5 then 1,2,3,4,0,80", "1.2.3.4", 80}}) {
        const auto address = ParsePassiveReply(c.text);
        ASSERT_TRUE(address) << c.text;
        EXPECT_EQ(address->host, c.host) << c.text;
        EXPECT_EQ(address->port, c.port) << c.text;
    }
}

TEST(PassiveReply, MalformedRepliesGiveNothing) {
    for (const char* text :
         {"227 Entering Passive Mode", "227 (1,2,3,4,5)", "227 1,2,3,4,5", "227 (1,2,3,4,0,0)",
          "227 (300,2,3,4,5,6)", "227 (evil,example,org,x,5,6)", "227 (1,2,3,4,5,6,7)", "227 1,2,3,4,5,6,7",
          "227 (1,2,3,4,999999999999999,6)", "227,1,2,3,4,5"}) {
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
