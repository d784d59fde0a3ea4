#include "System/Net/Http/HttpResponse.h"

#include "support/Process.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Net::Http {
namespace {

using TestSupport::Text;

// Feeds bytes in pieces of step bytes; the number of bytes fed when the response first
// reported itself complete, or -1.
int FeedUntilComplete(HttpResponse& response, const std::string& bytes, size_t step) {
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t n = std::min(step, bytes.size() - at);
        if (response.Receive(bytes.data() + at, static_cast<int>(n))) {
            return static_cast<int>(at + n);
        }
    }
    return -1;
}

// How a response's body ends.
enum class Ends { WithItsBytes, WithTheConnection, Never };

struct Framed {
    const char* name;
    std::string response;  // what completes it, or all of it when it never does
    Ends ends;
    std::string body;
    std::string surplus = "";  // sent after the response
};

TEST(HttpResponse, CompletesExactlyWhenItsBodyEndsHoweverTheBytesAreSplit) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = "Transfer-Encoding: chunked\r\n";
    const Ends bytes = Ends::WithItsBytes;
    const std::vector<Framed> cases = {
        {"spaced length, bytes past it", ok + "Content-Length: 5\r\n\r\nhello", bytes, "hello",
         "surplus"},
        {"length without space, any case", ok + "cOnTeNt-LeNgTh:5\r\n\r\nhello", bytes, "hello"},
        {"value padded with spaces and tabs", ok + "Content-Length: \t 5 \t\r\n\r\nhello", bytes,
         "hello"},
        {"length 0", ok + "Content-Length: 0\r\n\r\n", bytes, "", "x"},
        {"chunked, beside a length",
         ok + chunked +
             "Content-Length: 2\r\n\r\n3;x=y\r\nhel\r\n2\r\nlo\r\n0\r\nExpires: never\r\n\r\n",
         bytes, "hello", "x"},
        {"no content", "HTTP/1.1 204 No Content\r\nServer: x\r\n\r\n", bytes, "", "x"},
        {"after interim responses",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX: y\r\n\r\n" + ok +
             "Content-Length: 5\r\n\r\nhello",
         bytes, "hello", "x"},
        {"switching protocols", "HTTP/1.1 101 Switching Protocols\r\n\r\n", bytes, "", "x"},
        {"no length", ok + "Connection: close\r\n\r\nto the end", Ends::WithTheConnection,
         "to the end"},
        {"blank line not yet complete", ok + "Content-Length: 0\r\n\r", Ends::Never, ""},
        {"bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 0\n\n", Ends::Never, ""},
        {"not a status line", "SMTP 200 OK\r\nContent-Length: 0\r\n\r\n", Ends::Never, ""},
        {"negative length", ok + "Content-Length: -1\r\n\r\n", Ends::Never, ""},
        {"short body", ok + "Content-Length: 6\r\n\r\nhello", Ends::Never, "hello"},
        {"bad chunk size", ok + chunked + "\r\nzz\r\nhello\r\n0\r\n\r\n", Ends::Never, ""},
        {"chunk without its line end", ok + chunked + "\r\n2\r\nhey0\r\n\r\n", Ends::Never, ""},
        {"no last chunk", ok + chunked + "\r\n2\r\nhe\r\n", Ends::Never, ""},
        {"trailer line over the limit",
         ok + chunked + "\r\n0\r\nX: " + std::string(1100, 'x') + "\r\n\r\n", Ends::Never, ""},
    };
    for (const Framed& c : cases) {
        const std::string all = c.response + c.surplus;
        for (size_t step : {all.size(), size_t{1}, size_t{7}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(step));
            HttpResponse response;
            const size_t roundedUp = (c.response.size() + step - 1) / step * step;
            EXPECT_EQ(FeedUntilComplete(response, all, step),
                      c.ends == bytes ? int(std::min(roundedUp, all.size())) : -1);
            EXPECT_EQ(response.EndOfStream(), c.ends != Ends::Never);
            EXPECT_EQ(Text(response.GetResponseString()), c.body);
        }
    }
}

TEST(HttpResponse, ParsesTheStatusLineAndFindsHeadersInAnyCase) {
    HttpResponse response;
    const std::string bytes =
        "HTTP/1.0 404 Not Found\r\nServer:x\r\nContent-Length: 2\r\nno-colon here\r\n\r\nno";
    ASSERT_TRUE(response.Receive(bytes.data(), int(bytes.size())));
    EXPECT_EQ(Text(response.GetVersion()), "HTTP/1.0");
    EXPECT_EQ(response.GetStatus(), 404);
    EXPECT_EQ(Text(response.GetReason()), "Not Found");
    ASSERT_EQ(response.GetHeaders().Count(), 3u);
    EXPECT_EQ(Text(*response.GetHeader("NO-COLON")), "here");
    EXPECT_EQ(Text(*response.GetHeader("server")), "x");
    EXPECT_FALSE(response.IsPersistent());
}

TEST(HttpResponse, ANewResponseNeverTakesThePreviousBodyOffset) {
    HttpResponse response;
    const std::string first = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhi";
    ASSERT_TRUE(response.Receive(first.data(), int(first.size())));
    const int offset = response.GetBodyOffset();
    response.Clear();
    // As long as the old body offset and still without its blank line: with that offset
    // and a length of 0 the half-read response would count as complete.
    const std::string second = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nyes";
    EXPECT_FALSE(response.Receive(second.data(), offset));
    EXPECT_TRUE(response.Receive(second.data() + offset, int(second.size()) - offset));
    EXPECT_EQ(Text(response.GetResponseString()), "yes");
}

// A compressed body that inflates past its bound, or does not inflate, fails the response as a
// longer body does. Before, it completed with an empty body.
TEST(HttpResponse, ABodyThatInflatesPastItsBoundOrNotAtAllFailsTheResponse) {
    // 100000 zero bytes, one more than the bound.
    const std::string deflated = TestSupport::FromHex(
        TestSupport::PythonLines("import zlib;print(zlib.compress(bytes(100000)).hex())").at(0));
    for (const std::string& body : {deflated, std::string("not deflated")}) {
        const std::string bytes =
            "HTTP/1.1 200 OK\r\nContent-Encoding: deflate\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body;
        HttpResponse response;
        response.SetMaxBodySize(99999);
        EXPECT_FALSE(response.Receive(bytes.data(), int(bytes.size())));
        EXPECT_TRUE(response.IsFailed());
        EXPECT_EQ(response.GetBodyLength(), 0);
        EXPECT_EQ(Text(response.GetResponseString()), "");
    }
    // An empty body has nothing to inflate: it stays empty.
    const std::string empty =
        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 0\r\n\r\n";
    HttpResponse response;
    EXPECT_TRUE(response.Receive(empty.data(), int(empty.size())));
    EXPECT_EQ(Text(response.GetResponseString()), "");
}

TEST(HttpResponse, AResponseLongerThanTheBoundIsDroppedNotKept) {
    for (const std::string headers : {"HTTP/1.1 200 OK\r\nContent-Length: 2000000000\r\n\r\n",
                                      "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"}) {
        HttpResponse response;
        EXPECT_FALSE(response.Receive(headers.data(), int(headers.size())));
        const std::string megabyte(1 << 20, 'x');
        for (int64_t sent = 0; sent <= HttpResponse::kMaxBodySize; sent += 1 << 20) {
            EXPECT_FALSE(response.Receive(megabyte.data(), int(megabyte.size())));
        }
        EXPECT_EQ(response.GetData().Length(), 0);
        EXPECT_TRUE(response.IsFailed());
        EXPECT_FALSE(response.EndOfStream());
    }

    // A bound set on the body holds however the body is framed: a body of the bound
    // completes, one a byte longer fails as soon as it is announced or passes the bound,
    // and so does one that inflates past it.
    constexpr int kBound = 1000;
    const std::string chunk = "3e8\r\n" + std::string(kBound, 'x') + "\r\n";
    const std::string gzip =
        TestSupport::FromHex(TestSupport::PythonLines("import gzip;print(gzip.compress(bytes(" +
                                                      std::to_string(kBound + 1) + ")).hex())")
                                 .at(0));
    const struct {
        std::string bytes;
        bool complete;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(kBound, 'x'), true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 1001\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk + "0\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk + "1\r\nx\r\n", false},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(kBound + 1, 'x'), false},
    };
    for (const auto& test : cases) {
        HttpResponse response;
        response.SetMaxBodySize(kBound);
        EXPECT_EQ(response.Receive(test.bytes.data(), int(test.bytes.size())), test.complete)
            << test.bytes.substr(0, 60);
        EXPECT_EQ(response.IsFailed(), !test.complete) << test.bytes.substr(0, 60);
        EXPECT_EQ(response.GetResponseString().Length(), test.complete ? uint32_t{kBound} : 0u);
    }
    const std::string inflating = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " +
                                  std::to_string(gzip.size()) + "\r\n\r\n" + gzip;
    HttpResponse response;
    response.SetMaxBodySize(kBound);
    EXPECT_FALSE(response.Receive(inflating.data(), int(inflating.size())));
    EXPECT_TRUE(response.IsFailed());
    EXPECT_EQ(Text(response.GetResponseString()), "");
}

}  // namespace
}  // namespace System::Net::Http
