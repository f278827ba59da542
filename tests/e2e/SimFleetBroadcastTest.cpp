// Replies to the discovery broadcast, on loopback and inside a private
// network namespace (where even the limited broadcast stays put).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>

#include "MissingPeer.h"
#include "NetNamespace.h"
#include "SimFleetProcess.h"

namespace {

const std::string kRequest("KorvroK\0", 8);

// A console's side of the discovery: one socket, datagrams out, replies in
// until nothing has come for a while.
class Prober {
public:
    explicit Prober(const std::string& bindAddress) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        ::inet_pton(AF_INET, bindAddress.c_str(), &sin.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
    }
    ~Prober() { ::close(m_fd); }

    bool Send(const std::string& to, unsigned port, const std::string& data) {
        sockaddr_in sin{};
        sin.sin_family = AF_INET;
        sin.sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, to.c_str(), &sin.sin_addr);
        return ::sendto(m_fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&sin),
                        sizeof(sin)) == static_cast<ssize_t>(data.size());
    }
    // Replies by sender address (the last one of each), until a second passes quietly.
    std::map<std::string, std::string> Collect() {
        std::map<std::string, std::string> replies;
        pollfd fd{m_fd, POLLIN, 0};
        while (::poll(&fd, 1, 1000) > 0) {
            char buffer[1000];
            sockaddr_in from{};
            socklen_t length = sizeof(from);
            ssize_t n = ::recvfrom(m_fd, buffer, sizeof(buffer), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
            char address[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &from.sin_addr, address, sizeof(address));
            replies[address] = std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        return replies;
    }

private:
    int m_fd = -1;
};

bool HasMagic(const std::string& reply) {
    return reply.size() >= 7 && reply.compare(0, 7, "KorvroK") == 0;
}

TEST(SimFleetBroadcast, TerminalsOfTheSubnetReplyFromTheirOwnAddresses) {
    SimFleetProcess fleet(
        {"[A]\nAddress=127.0.0.2\n[B]\nAddress=127.0.0.3\nModel=older\n"
         "[ELSEWHERE]\nAddress=127.0.1.2\n",
         {},
         true,
         {}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    Prober prober("127.0.0.1");
    ASSERT_TRUE(prober.Send("127.0.0.255", fleet.BroadcastPort(), kRequest));
    auto replies = prober.Collect();
    ASSERT_EQ(replies.size(), 2u) << fleet.Log();
    EXPECT_TRUE(HasMagic(replies["127.0.0.2"]));
    EXPECT_TRUE(HasMagic(replies["127.0.0.3"]));

    // Anything else on the port goes unanswered.
    ASSERT_TRUE(prober.Send("127.0.0.255", fleet.BroadcastPort(), "Korvro"));
    ASSERT_TRUE(prober.Send("127.0.0.255", fleet.BroadcastPort(), std::string("kORVROk\0", 8)));
    EXPECT_TRUE(prober.Collect().empty());
}

TEST(SimFleetBroadcast, RepliesInsideANetworkNamespace) {
    if (!InTestNamespace()) {
        RUN_TEST_IN_NAMESPACE(
            {"10.77.1.1"}, {"10.77.1.10", "10.77.1.11", "10.77.1.12", "10.77.1.13", "10.77.2.10"});
        return;
    }
    // Inside: the console's address is on veth0, the terminals' on veth1.
    SimFleetProcess fleet({R"INI(
[GOOD]
Address=10.77.1.10
[OLDER]
Address=10.77.1.11
Model=older
[ODD]
Address=10.77.1.12
WrongMagic=yes
[QUIET]
Address=10.77.1.13
Silent=yes
[OTHER-SUBNET]
Address=10.77.2.10
)INI",
                           {"--trap-dest", "10.77.1.1"},
                           true,
                           {}});
    ASSERT_TRUE(fleet.Ready()) << fleet.Log();
    Prober prober("0.0.0.0");

    ASSERT_TRUE(prober.Send("10.77.1.255", fleet.BroadcastPort(), kRequest));
    auto subnet = prober.Collect();
    EXPECT_EQ(subnet.size(), 3u) << fleet.Log();
    EXPECT_TRUE(HasMagic(subnet["10.77.1.10"]));
    EXPECT_TRUE(HasMagic(subnet["10.77.1.11"]));
    ASSERT_EQ(subnet.count("10.77.1.12"), 1u);
    EXPECT_FALSE(HasMagic(subnet["10.77.1.12"]));

    ASSERT_TRUE(prober.Send("255.255.255.255", fleet.BroadcastPort(), kRequest));
    auto everyone = prober.Collect();
    EXPECT_EQ(everyone.size(), 4u) << fleet.Log();
    EXPECT_TRUE(HasMagic(everyone["10.77.2.10"]));
    EXPECT_EQ(everyone.count("10.77.1.13"), 0u);

    // The agents answer on the namespace's addresses as well.
    EXPECT_EQ(SnmpGetText(fleet.At("10.77.2.10"), ".1.3.6.1.2.1.1.5.0"), "OTHER-SUBNET");
}

TEST(NetNamespaceHelper, RunsACommandWithTheGivenAddresses) {
    std::string unavailable = NamespaceUnavailableReason();
    if (!unavailable.empty()) {
        SKIP_FOR_MISSING_PEER(unavailable);
    }
    CommandResult inside =
        RunInNamespace({{"10.9.8.1"}, {"10.9.8.2/16"}}, {"ip", "-o", "-4", "addr", "show"});
    EXPECT_EQ(inside.exitCode, 0) << inside.output;
    EXPECT_NE(inside.output.find("veth0    inet 10.9.8.1/24"), std::string::npos) << inside.output;
    EXPECT_NE(inside.output.find("veth1    inet 10.9.8.2/16"), std::string::npos) << inside.output;
    CommandResult route = RunInNamespace({{"10.9.8.1"}, {}}, {"ip", "route", "get", "192.0.2.1"});
    EXPECT_NE(route.output.find("dev veth0"), std::string::npos) << route.output;
    EXPECT_EQ(RunInNamespace({}, {"false"}).exitCode, 1);
}

}  // namespace
