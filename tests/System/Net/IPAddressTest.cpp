#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

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
    const std::pair<const char*, uint32_t> cases[] = {
        {"", 0},
        {"10.1", 0x0A010000u},
        {"1..3.4", 0x01000000u},
        // A fifth field wraps round to the top byte; fields are read as 32-bit values.
        {"1.2.3.4.5", 0x05020304u},
        {"256.0.0.1", 0x00000001u},
        {"0.0.0.99999999999", 0x7FFFFFFFu}};
    for (const auto& [text, address] : cases) {
        EXPECT_EQ(IPAddress::Parse(text).GetAddress(), address) << text;
        EXPECT_EQ(IPAddress::Parse(text).GetAddressFamily(), IPAddress::kIPv4);
    }
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

}  // namespace
}  // namespace System::Net
