#include "System/Net/Http/HttpHeader.h"

#include "System/Net/Http/HttpResponse.h"
#include "System/Utility/Convert.h"

#include <algorithm>

namespace System::Net::Http {

namespace {

// The next line without its line feed; false when the data ends before one.
bool ReadLine(IO::StreamReader& reader, String& line) {
    const int64_t start = reader.GetStream().Position();
    line = reader.ReadLine();
    return reader.GetStream().Position() - start > line.Length();
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t';
}

// text[begin, end) without the spaces and tabs at either end.
String TrimSpaces(const String& text, uint32_t begin, uint32_t end) {
    while (begin < end && IsSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(text[end - 1])) {
        --end;
    }
    return text.Substring(begin, end - begin);
}

}  // namespace

bool HttpHeader::ParseResponse(HttpResponse& response) {
    IO::StreamReader reader(response.mData);
    String line;
    if (!ReadLine(reader, line) || !line.StartsWith("HTTP/") || !line.EndsWith("\r")) {
        return false;
    }
    const uint32_t end = line.Length() - 1;
    int first = line.IndexOf(" ");
    if (first < 0) {
        first = static_cast<int>(end);
    }
    int second = line.IndexOf(" ", static_cast<uint32_t>(first) + 1);
    if (second < 0) {
        second = static_cast<int>(end);
    }
    response.mHeaders.Clear();
    if (!ParseHeaders(reader, response.mHeaders)) {
        return false;
    }
    response.mVersion = line.Substring(0, static_cast<uint32_t>(first));
    response.mStatus = Utility::Convert::ToInt(
        line.Substring(static_cast<uint32_t>(first) + 1, static_cast<uint32_t>(second - first)));
    response.mReason = line.Substring(static_cast<uint32_t>(second) + 1,
                                      end - std::min(end, static_cast<uint32_t>(second) + 1));
    response.mBodyOffset = static_cast<int32_t>(response.mData.Position());
    response.mContentLength = response.GetContentLength();
    return true;
}

bool HttpHeader::ParseHeaders(IO::StreamReader& reader, Headers& headers) {
    String line;
    while (ReadLine(reader, line)) {
        if (line == "\r") {
            return true;
        }
        int k = line.IndexOf(":");
        if (k < 0) {
            k = line.IndexOf(" ");
        }
        if (k < 0) {
            continue;
        }
        if (!line.EndsWith("\r")) {
            return false;
        }
        // A server may write "Name:value" as well as "Name: value"; requiring the
        // space would leave such a response waiting for ever.
        headers.Add(Collections::KeyValue<String, String>(
            line.Substring(0, static_cast<uint32_t>(k)),
            TrimSpaces(line, static_cast<uint32_t>(k) + 1, line.Length() - 1)));
    }
    return false;
}

}  // namespace System::Net::Http
