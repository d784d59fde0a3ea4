#include "System/Net/Http/HttpResponse.h"

#include "System/Utility/Convert.h"
#include "System/Utility/Zip.h"

#include <algorithm>
#include <cstring>

namespace System::Net::Http {

namespace {

// A chunk size line longer than this is not a size line.
constexpr int64_t kMaxChunkLine = 1024;

// Where the next CR LF at or after from starts in data[0, length), or -1.
int64_t FindLineEnd(const unsigned char* data, int64_t from, int64_t length) {
    for (int64_t at = from; at + 1 < length; ++at) {
        if (data[at] == '\r' && data[at + 1] == '\n') {
            return at;
        }
    }
    return -1;
}

}  // namespace

bool HttpResponse::ReadHead() {
    for (;;) {
        // Parsing the headers again from the start on every arrival would cost time in
        // the square of their length when they come in small pieces; only the bytes not
        // yet scanned are searched for the blank line, which needs its two last bytes.
        const unsigned char* data = mData.GetBuffer();
        const int64_t length = mData.Length();
        int64_t end = -1;
        for (int64_t at = std::max<int64_t>(mHeadScanned - 2, 0); at + 2 < length; ++at) {
            if (data[at] == '\n' && data[at + 1] == '\r' && data[at + 2] == '\n') {
                end = at;
                break;
            }
        }
        if (end < 0 || end > kMaxHeaderSize) {
            mHeadScanned = length;
            mBroken = length > kMaxHeaderSize;
            return false;
        }
        mData.Position(0);
        mParsed = HttpHeader::ParseResponse(*this);
        mData.Seek(0, 2);
        if (!mParsed) {
            // The same bytes will never parse: the blank line is there.
            mHeaders.Clear();
            mBroken = true;
            return false;
        }
        // An interim response (100 Continue, 102 Processing, 103 Early Hints) comes before
        // the request's own; taken as the response, it would fail the request, and the
        // final response would be taken for the next request's on a kept-alive connection.
        if (mStatus < 100 || mStatus >= 200 || mStatus == HttpHeader::StatusSwitchingProtocols) {
            mChunkEnd = mChunkNext = mBodyOffset;
            return true;
        }
        const int64_t rest = length - mBodyOffset;
        std::memmove(mData.GetBuffer(), data + mBodyOffset, static_cast<size_t>(rest));
        mData.SetLength(rest);
        mData.Seek(0, 2);
        mParsed = false;
        mHeaders.Clear();
        mStatus = 0;
        mBodyOffset = 0;
        mContentLength = 0;
        mHeadScanned = 0;
    }
}

void HttpResponse::Clear() {
    mVersion = String();
    mStatus = 0;
    mReason = String();
    mContentLength = 0;
    mHeaders.Clear();
    // A body offset kept from the previous response would make the next one look
    // complete while its headers are still arriving.
    mBodyOffset = 0;
    mData.Close();
    mParsed = false;
    mHeadScanned = 0;
    mComplete = false;
    mBroken = false;
    mChunkEnd = 0;
    mChunkNext = 0;
    mInTrailer = false;
}

bool HttpResponse::Receive(const char* bytes, int count) {
    if (mComplete || mBroken || count <= 0) {
        return mComplete;
    }
    // A server announcing a huge length, or sending without end, would otherwise have the
    // whole of it kept until memory runs out.
    if (mData.Length() + count > MaxKept()) {
        Drop();
        return false;
    }
    mData.Seek(0, 2);
    mData.Write(reinterpret_cast<const unsigned char*>(bytes), 0, count);
    if (!mParsed && !ReadHead()) {
        return false;
    }
    switch (GetFraming()) {
        case Framing::None:
            Complete(mBodyOffset);
            break;
        case Framing::Length:
            // Bytes past the announced length are not part of this response; waiting
            // for an exact count would never end.
            if (mContentLength < 0 || mContentLength > mMaxBodySize) {
                Drop();
            } else if (mData.Length() - mBodyOffset >= mContentLength) {
                Complete(mBodyOffset + static_cast<int64_t>(mContentLength));
            }
            break;
        case Framing::Chunked:
            DecodeChunks();
            if (!mComplete && mChunkEnd - mBodyOffset > mMaxBodySize) {
                Drop();
            }
            break;
        case Framing::Close:
            if (mData.Length() - mBodyOffset > mMaxBodySize) {
                Drop();
            }
            break;
    }
    return mComplete;
}

bool HttpResponse::EndOfStream() {
    if (!mComplete && !mBroken && mParsed && GetFraming() == Framing::Close) {
        Complete(mData.Length());
    }
    return mComplete;
}

int32_t HttpResponse::GetContentLength() const {
    const String* value = GetHeader(HttpHeader::ResponseContentLength);
    return value == nullptr ? 0 : Utility::Convert::ToInt(*value);
}

bool HttpResponse::IsStreamCompressed() const {
    const String* value = GetHeader(HttpHeader::ResponseContentEncoding);
    return value != nullptr && (value->ToLower() == "gzip" || value->ToLower() == "deflate");
}

bool HttpResponse::IsStreamChunked() const {
    const String* value = GetHeader(HttpHeader::ResponseTransferEncoding);
    return value != nullptr && value->ToLower() == "chunked";
}

bool HttpResponse::IsPersistent() const {
    const String* value = GetHeader(HttpHeader::RequestConnection);
    const String connection = value == nullptr ? String() : value->ToLower();
    if (mVersion == HttpHeader::Http10) {
        return connection == "keep-alive";
    }
    return connection != "close";
}

String HttpResponse::GetResponseString() const {
    const int64_t available = std::max<int64_t>(mData.Length() - mBodyOffset, 0);
    const int64_t length = std::min<int64_t>(mContentLength, available);
    if (length <= 0) {
        return String();
    }
    return String(reinterpret_cast<const char*>(mData.GetBuffer()) + mBodyOffset,
                  static_cast<uint32_t>(length));
}

const String* HttpResponse::GetHeader(const char* name) const {
    // Header names are case-insensitive: a server that writes "content-length" means
    // the same header.
    const String wanted = String(name).ToLower();
    for (uint32_t i = 0; i < mHeaders.Count(); ++i) {
        if (mHeaders[i].mKey.ToLower() == wanted) {
            return &mHeaders[i].mValue;
        }
    }
    return nullptr;
}

HttpResponse::Framing HttpResponse::GetFraming() const {
    if ((mStatus >= 100 && mStatus < 200) || mStatus == HttpHeader::StatusNoContent ||
        mStatus == HttpHeader::StatusNotModified) {
        return Framing::None;
    }
    // A chunked body ends at its last chunk whatever length is announced beside it.
    if (IsStreamChunked()) {
        return Framing::Chunked;
    }
    if (GetHeader(HttpHeader::ResponseContentLength) != nullptr) {
        return Framing::Length;
    }
    return Framing::Close;
}

void HttpResponse::DecodeChunks() {
    unsigned char* data = mData.GetBuffer();
    const int64_t length = mData.Length();
    while (!mComplete && !mBroken) {
        const int64_t lineEnd = FindLineEnd(data, mChunkNext, length);
        // The limit holds for a complete line too: otherwise whether a long line is
        // refused would depend on how the reply happened to be cut into packets.
        if (lineEnd < 0 || lineEnd - mChunkNext > kMaxChunkLine) {
            mBroken = length - mChunkNext > kMaxChunkLine;
            return;
        }
        if (mInTrailer) {
            if (lineEnd == mChunkNext) {
                Complete(mChunkEnd);
                return;
            }
            mChunkNext = lineEnd + 2;
            continue;
        }
        // The size in hexadecimal, then perhaps ";" and extensions, which are ignored.
        int64_t size = 0;
        int64_t at = mChunkNext;
        for (int digit; at < lineEnd && size <= INT32_MAX &&
                        (digit = Utility::Convert::HexDigit(static_cast<char>(data[at]))) >= 0;
             ++at) {
            size = size * 16 + digit;
        }
        if (at == mChunkNext || size > INT32_MAX ||
            (at < lineEnd && data[at] != ';' && data[at] != ' ' && data[at] != '\t')) {
            mBroken = true;
            return;
        }
        const int64_t payload = lineEnd + 2;
        if (size == 0) {
            mInTrailer = true;
            mChunkNext = payload;
            continue;
        }
        if (length < payload + size + 2) {
            return;
        }
        if (data[payload + size] != '\r' || data[payload + size + 1] != '\n') {
            mBroken = true;
            return;
        }
        std::memmove(data + mChunkEnd, data + payload, static_cast<size_t>(size));
        mChunkEnd += size;
        mChunkNext = payload + size + 2;
    }
}

void HttpResponse::Complete(int64_t end) {
    if (end - mBodyOffset > mMaxBodySize) {
        Drop();
        return;
    }
    mData.SetLength(end);
    mData.Seek(0, 2);
    mContentLength = static_cast<int32_t>(end - mBodyOffset);
    // Completed empty, a body that cannot be inflated would pass for an empty answer, and
    // its connection would serve the next request.
    if (IsStreamCompressed() && mContentLength > 0 && !Inflate()) {
        Drop();
        return;
    }
    mComplete = true;
}

void HttpResponse::Drop() {
    mData.Close();
    mContentLength = 0;
    mBroken = true;
}

int64_t HttpResponse::MaxKept() const {
    return (mParsed ? int64_t{mBodyOffset} : kMaxHeaderSize) + 2 * mMaxBodySize;
}

bool HttpResponse::Inflate() {
    IO::MemoryStream inflated;
    const bool gzip = GetHeader(HttpHeader::ResponseContentEncoding)->ToLower() == "gzip";
    if (!Utility::Zip::InflateWithin(mData.GetBuffer() + mBodyOffset,
                                     static_cast<unsigned int>(mContentLength), gzip, mMaxBodySize,
                                     inflated) ||
        inflated.Length() == 0) {
        return false;
    }
    const int size = static_cast<int>(inflated.Length());
    mData.SetLength(mBodyOffset);
    mData.Write(inflated.GetBuffer(), 0, size);
    if (mData.Length() != mBodyOffset + size) {
        return false;
    }
    mContentLength = size;
    return true;
}

}  // namespace System::Net::Http
