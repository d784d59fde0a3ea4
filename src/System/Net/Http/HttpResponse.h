#pragma once

#include <cstddef>
#include <cstdint>

#include "System/IO/MemoryStream.h"
#include "System/Net/Http/HttpHeader.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::Net::Http {

// One HTTP response as it arrives: every byte received (status line, headers, body)
// in one stream, the parsed status and headers, and where the body starts. Once the
// response is complete the body is plain: a chunked body is decoded in place, bytes
// past an announced length are dropped, and a gzip or deflate body is inflated.
//
// A body ends as its headers say: at the announced length, at the last chunk, or
// when the connection closes (EndOfStream) when neither is given. Responses that
// never carry a body (101, 204, 304) are complete with their headers. Interim
// responses (1xx other than 101) are dropped as they arrive: the response is the final
// one that follows them.
class HttpResponse : public Object {
  public:
    using Headers = HttpHeader::Headers;

    // Headers not complete within this many bytes are not waited for.
    static constexpr int64_t kMaxHeaderSize = 64 * 1024;
    // A response is kept in memory whole: by default a body longer than this, as sent or
    // once inflated, fails the response.
    static constexpr int64_t kMaxBodySize = int64_t{64} << 20;

    HttpResponse() = default;
    ~HttpResponse() override = default;
    HttpResponse(const HttpResponse&) = delete;
    HttpResponse& operator=(const HttpResponse&) = delete;

    // Forgets everything, the body offset included, and releases the data. The bound on
    // the body stays.
    void Clear();
    // The longest body taken from now on: a longer one, whether announced, sent or
    // inflated, fails the response at once, and nothing more of it is kept. Chunk framing
    // may take as many bytes again as the body.
    void SetMaxBodySize(int64_t size) { mMaxBodySize = size; }
    // Appends received bytes and carries the parse as far as they allow. Returns
    // IsComplete(); bytes received after completion are not kept.
    bool Receive(const char* bytes, int count);
    // The connection has ended: a body that runs to the end of the connection is
    // complete now. Returns IsComplete().
    bool EndOfStream();
    [[nodiscard]] bool IsComplete() const { return mComplete; }
    // The response can never complete: its head does not parse, its framing is broken, its
    // body is longer than the bound, or a compressed body does not inflate within it.
    [[nodiscard]] bool IsFailed() const { return mBroken; }

    // The first "Content-Length" header (any case) read as a number; 0 without one.
    [[nodiscard]] int32_t GetContentLength() const;
    // The first "Content-Encoding" header is "gzip" or "deflate".
    [[nodiscard]] bool IsStreamCompressed() const;
    // The first "Transfer-Encoding" header is "chunked".
    [[nodiscard]] bool IsStreamChunked() const;
    // Whether the connection stays open after this response: HTTP/1.1 unless it says
    // "Connection: close", HTTP/1.0 only when it says "Connection: keep-alive".
    [[nodiscard]] bool IsPersistent() const;
    // The body's bytes ("" while it has none).
    [[nodiscard]] String GetResponseString() const;
    // The value of the first header with that name in any case, or null.
    [[nodiscard]] const String* GetHeader(const char* name) const;

    [[nodiscard]] const String& GetVersion() const { return mVersion; }
    [[nodiscard]] int32_t GetStatus() const { return mStatus; }
    [[nodiscard]] const String& GetReason() const { return mReason; }
    [[nodiscard]] const Headers& GetHeaders() const { return mHeaders; }
    // The body's length: announced until the response is complete, then the length
    // of the plain body; 0 once it has failed.
    [[nodiscard]] int32_t GetBodyLength() const { return mContentLength; }
    [[nodiscard]] int32_t GetBodyOffset() const { return mBodyOffset; }
    IO::MemoryStream& GetData() { return mData; }

  private:
    friend class HttpHeader;

    // How the end of the body is known.
    enum class Framing { None, Length, Chunked, Close };
    Framing GetFraming() const;
    // Parses the status line and headers once the blank line that ends them has arrived,
    // dropping interim responses. False while no final response's headers are complete.
    bool ReadHead();
    // Moves every complete chunk's bytes down to the end of the decoded body, and
    // completes the response at the blank line after the last chunk.
    void DecodeChunks();
    // The body ends at end: drops what follows and inflates a compressed body; fails the
    // response when the body is longer than the bound or does not inflate within it.
    void Complete(int64_t end);
    // The response can never complete: what was kept is released.
    void Drop();
    // The most bytes kept at once: the head, then the body as sent with its framing.
    [[nodiscard]] int64_t MaxKept() const;
    // Replaces the compressed body by what it inflates to; false when it is not a whole
    // stream that inflates to at most the bound, inflates to nothing, or memory runs out.
    [[nodiscard]] bool Inflate();

    String mVersion;            // "HTTP/1.1"
    int32_t mStatus{0};         // 200
    String mReason;             // "OK"
    int32_t mContentLength{0};  // see GetBodyLength
    Headers mHeaders;           // in arrival order
    int32_t mBodyOffset{0};     // where the body starts in mData; 0 until parsed
    IO::MemoryStream mData;     // every byte kept so far; the position stays at the end

    bool mParsed{false};      // the headers are complete
    int64_t mHeadScanned{0};  // the bytes searched for the blank line so far
    bool mComplete{false};    // the body is complete and plain
    bool mBroken{false};      // the response can no longer complete
    // Chunked bodies: the decoded bytes end at mChunkEnd, the next size line (or
    // trailer line, once the last chunk has been seen) starts at mChunkNext.
    int64_t mChunkEnd{0};
    int64_t mChunkNext{0};
    bool mInTrailer{false};
    int64_t mMaxBodySize{kMaxBodySize};  // see SetMaxBodySize
};

}  // namespace System::Net::Http
