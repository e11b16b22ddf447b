// The active-mode listener: bound where it is told, and quiet once accepting has failed for good.
#include "net/ListeningSocket.h"

#include "support/EventPump.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessaly {
namespace {

int ConnectTo(const char* address, quint16 portNetworkOrder) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = portNetworkOrder;
    ::inet_aton(address, &target.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TEST(ListeningSocket, TakesConnectionsOnlyOnItsAddressAndTellsWhoConnected) {
    ListeningSocket listener;
    ASSERT_TRUE(listener.Open(htonl(INADDR_LOOPBACK)));
    ListeningSocket::Accepted accepted;
    listener.onAcceptReady = [&] { accepted = listener.Accept(); };
    ASSERT_TRUE(listener.Listen());
    EXPECT_EQ(ConnectTo("127.0.0.2", listener.PortNetworkOrder()), -1); // not bound there
    const int client = ConnectTo("127.0.0.1", listener.PortNetworkOrder());
    ASSERT_GE(client, 0);
    ASSERT_TRUE(test::pumpEventsUntil([&] { return accepted.handle >= 0; }, 2000));
    EXPECT_EQ(accepted.peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    ::close(accepted.handle);
    ::close(client);
}

// With no descriptor left, a waiting connection cannot be taken and the socket stays readable:
// the listener stops announcing it instead of waking the loop without end.
TEST(ListeningSocket, AcceptFailureStopsTheAnnouncements) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
    ListeningSocket listener;
    ASSERT_TRUE(listener.Open(htonl(INADDR_LOOPBACK)));
    int calls = 0;
    listener.onAcceptReady = [&] {
        ++calls;
        const ListeningSocket::Accepted accepted = listener.Accept();
        if (accepted.handle >= 0) {
            ::close(accepted.handle);
        }
    };
    ASSERT_TRUE(listener.Listen());
    const int client = ConnectTo("127.0.0.1", listener.PortNetworkOrder());
    ASSERT_GE(client, 0);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit none = saved;
    none.rlim_cur = rlim_t(lowestFree); // every descriptor below is in use
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
    const bool failed = test::pumpEventsUntil([&] { return listener.HasFailed(); }, 2000);
    const int callsAtFailure = calls;
    test::pumpEventsUntil([] { return false; }, 200);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_TRUE(failed);
    EXPECT_EQ(listener.LastError(), EMFILE);
    EXPECT_EQ(calls, callsAtFailure);
    ::close(client);
}

} // namespace
} // namespace tessaly
