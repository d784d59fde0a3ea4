#include "System/IO/StreamReader.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace System::IO {

bool StreamReader::IsEndOfStream() const {
    return mStream.Position() == mStream.Length();
}

int StreamReader::Read() {
    return mStream.ReadByte();
}

int StreamReader::Peek() {
    if (IsEndOfStream()) {
        return -1;
    }
    const int value = mStream.ReadByte();
    mStream.Seek(-1, 1);
    return value;
}

String StreamReader::ReadLine() {
    // The remaining count is taken once: asking a file for its length per byte would
    // seek (and drop its read buffer) for every byte.
    int64_t remaining = mStream.Length() - mStream.Position();
    std::string line;
    while (remaining-- > 0) {
        const unsigned char value = mStream.ReadByte();
        if (value == '\n') {
            break;
        }
        line.push_back(static_cast<char>(value));
    }
    return String(line.data(), static_cast<unsigned int>(line.size()));
}

String StreamReader::ReadToEnd() {
    const int64_t remaining = mStream.Length() - mStream.Position();
    if (remaining <= 0) {
        return String("");
    }
    std::vector<unsigned char> buffer(static_cast<size_t>(std::min<int64_t>(remaining, INT32_MAX)));
    const int read = mStream.Read(buffer.data(), 0, static_cast<int>(buffer.size()));
    // Only the bytes the stream supplied: the rest of the buffer was never filled.
    return String(reinterpret_cast<const char*>(buffer.data()),
                  static_cast<unsigned int>(std::max(read, 0)));
}

void StreamReader::Close() {
    mStream.Close();
}

}  // namespace System::IO
