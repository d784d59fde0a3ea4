#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Socket.h"
#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>
#include <vector>

namespace System::Net {
namespace {

std::string Bytes(const IPAddress& address, int count) {
    return std::string(reinterpret_cast<const char*>(address.GetAddressBytes()), count);
}

TEST(IPAddress, DottedTextAgreesWithTheResolverLibrary) {
    const std::vector<std::string> texts = {"192.168.1.20",    "127.0.0.1",  "0.0.0.0",
                                            "255.255.255.255", "10.0.200.7", "1.2.3.4"};
    const auto expected = TestSupport::PythonLines(
        "import socket, struct, sys\n"
        "for t in sys.stdin.read().split():\n"
        "    b = socket.inet_aton(t)\n"
        "    print(struct.unpack('>I', b)[0], b.hex())\n",
        texts);
    ASSERT_EQ(expected.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        const IPAddress parsed = IPAddress::Parse(texts[i].c_str());
        EXPECT_EQ(parsed.GetAddressFamily(), IPAddress::kIPv4);
        EXPECT_EQ(std::string(parsed.ToString().CStr()), texts[i]);
        EXPECT_EQ(std::to_string(parsed.GetAddress()) + " " +
                      TestSupport::LowerHex(Bytes(parsed.SwapEndian(), 4)),
                  expected[i]);
    }
}

TEST(IPAddress, ParseReadsFieldsUntilAnEmptyOneWithoutValidating) {
    EXPECT_EQ(IPAddress::Parse("").GetAddress(), 0u);
    EXPECT_EQ(IPAddress::Parse("").GetAddressFamily(), IPAddress::kIPv4);
    EXPECT_EQ(IPAddress::Parse("10.1").GetAddress(), 0x0A010000u);
    EXPECT_EQ(IPAddress::Parse("1..3.4").GetAddress(), 0x01000000u);
    // A fifth field wraps round to the top byte.
    EXPECT_EQ(IPAddress::Parse("1.2.3.4.5").GetAddress(), 0x05020304u);
    EXPECT_EQ(IPAddress::Parse("256.0.0.1").GetAddress(), 0x00000001u);
    // Fields are read as 32-bit values, as on the platform the format comes from.
    EXPECT_EQ(IPAddress::Parse("0.0.0.99999999999").GetAddress(), 0x7FFFFFFFu);
}

TEST(IPAddress, ValidIPv4AgreesWithInetPtonWithoutLeadingZeros) {
    const std::vector<std::string> texts = {
        "1.2.3.4",         "255.255.255.255", "0.0.0.0",  "1.2.3",
        "1.2.3.4.5",       "256.1.1.1",       "1.-2.3.4", "",
        "a.b.c.d",         "1.2.3.4 ",        " 1.2.3.4", "1.2..4",
        "300.300.300.300", "9.99.199.255"};
    const auto expected = TestSupport::PythonLines(
        "import socket, sys\n"
        "for t in sys.stdin.read().split('\\n')[:-1]:\n"
        "    try:\n"
        "        socket.inet_pton(socket.AF_INET, t); print(1)\n"
        "    except OSError:\n"
        "        print(0)\n",
        texts);
    ASSERT_EQ(expected.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(IPAddress::IsValidIPv4(texts[i].c_str()), expected[i] == "1")
            << '"' << texts[i] << '"';
    }
    // Where the two differ by design: leading zeros are digits like any other.
    EXPECT_TRUE(IPAddress::IsValidIPv4("01.002.3.4"));
    EXPECT_FALSE(IPAddress::IsValidIPv4("1.2.3.0000000000000000000256"));
}

TEST(IPAddress, SwapEndianOfIPv6ExchangesTheBytesOfEachGroup) {
    std::string bytes;
    for (int i = 0; i < 16; ++i) {
        bytes += static_cast<char>(i);
    }
    const IPAddress address(reinterpret_cast<const unsigned char*>(bytes.data()), 16);
    EXPECT_EQ(address.GetAddressFamily(), IPAddress::kIPv6);
    EXPECT_EQ(address.ToString(), String("0100:0302:0504:0706:0908:0B0A:0D0C:0F0E"));
    EXPECT_EQ(TestSupport::LowerHex(Bytes(address.SwapEndian(), 16)),
              "010003020504070609080b0a0d0c0f0e");
}

TEST(IPAddress, ConstantsAreInHostOrder) {
    // Swapped before a bind, Loopback must name 127.0.0.1, not 1.0.0.127.
    EXPECT_EQ(IPAddress::Loopback().ToString(), String("127.0.0.1"));
    EXPECT_EQ(IPAddress::Loopback().SwapEndian().GetAddress(), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(IPAddress::Broadcast().ToString(), String("255.255.255.255"));
    in6_addr loopback6 = IN6ADDR_LOOPBACK_INIT;
    EXPECT_EQ(Bytes(IPAddress::IPv6Loopback().SwapEndian(), 16),
              std::string(reinterpret_cast<const char*>(&loopback6), 16));
}

TEST(IPEndPoint, SwapEndianTurnsAddressAndPortIntoNetworkOrder) {
    const IPEndPoint host(IPAddress::Parse("192.168.1.20"), 8080);
    const IPEndPoint network = host.SwapEndian();
    EXPECT_EQ(network.GetPort(), htons(8080));
    EXPECT_EQ(network.GetAddress().GetAddress(), inet_addr("192.168.1.20"));
    EXPECT_EQ(network.SwapEndian().GetPort(), 8080);
    EXPECT_EQ(IPEndPoint(0x01020304u, 7).GetAddress().GetAddress(), 0x01020304u);
    EXPECT_EQ(IPEndPoint().GetAddress().GetAddressFamily(), IPAddress::kNone);
}

TEST(IPEndPoint, HostNamesResolveIntoHostOrder) {
    const IPEndPoint any(String(""), 943);
    EXPECT_EQ(any.GetAddress().GetAddressFamily(), IPAddress::kIPv4);
    EXPECT_EQ(any.GetAddress().GetAddress(), 0u);
    EXPECT_EQ(any.GetPort(), 943);

    EXPECT_EQ(IPEndPoint(String("127.0.0.1"), 1).GetAddress().GetAddress(), 0x7F000001u);
    const IPEndPoint localhost(String("localhost"), 80);
    EXPECT_EQ(localhost.GetAddress().GetAddressFamily(), IPAddress::kIPv4);
    EXPECT_EQ(localhost.GetAddress().ToString(), String("127.0.0.1"));

    // Without an IPv4 answer the first answer is taken, whatever its family.
    const IPEndPoint six(String("::1"), 80);
    EXPECT_EQ(six.GetAddress().GetAddressFamily(), IPAddress::kIPv6);
    EXPECT_EQ(six.GetAddress().GetAddressBytes()[14], 1);

    const IPEndPoint unknown(String("no such host name"), 80);
    EXPECT_EQ(unknown.GetAddress().GetAddressFamily(), IPAddress::kNone);
}

TEST(IPEndPoint, ConvertsToThePlatformsSocketAddresses) {
    sockaddr_in address4;
    sockaddr_in6 address6;
    uint32_t length = 0;

    const IPEndPoint v4 = IPEndPoint(IPAddress::Parse("10.1.2.3"), 4502).SwapEndian();
    EXPECT_EQ(Socket::EndPointToSocketAddress(v4, &address4, &address6, length), &address4);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(address4.sin_family, AF_INET);
    EXPECT_EQ(address4.sin_port, htons(4502));
    EXPECT_EQ(address4.sin_addr.s_addr, inet_addr("10.1.2.3"));

    const IPEndPoint v6 = IPEndPoint(IPAddress::IPv6Loopback(), 4502).SwapEndian();
    EXPECT_EQ(Socket::EndPointToSocketAddress(v6, &address4, &address6, length), &address6);
    EXPECT_EQ(length, 28u);
    EXPECT_EQ(address6.sin6_family, AF_INET6);
    EXPECT_EQ(address6.sin6_port, htons(4502));
    EXPECT_TRUE(IN6_IS_ADDR_LOOPBACK(&address6.sin6_addr));

    EXPECT_EQ(Socket::EndPointToSocketAddress(IPEndPoint(), &address4, &address6, length), nullptr);
}

TEST(Socket, DnsLookupListsEachAddressInNetworkOrder) {
    EXPECT_EQ(Socket::DnsLookup("").Count(), 0u);
    EXPECT_EQ(Socket::DnsLookup("no such host name").Count(), 0u);
    const auto found = Socket::DnsLookup("127.0.0.1");
    ASSERT_EQ(found.Count(), 1u);
    EXPECT_EQ(found[0].GetAddress(), htonl(INADDR_LOOPBACK));
    EXPECT_GT(Socket::GetHostName().Length(), 0u);
}

}  // namespace
}  // namespace System::Net
