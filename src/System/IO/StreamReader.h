#pragma once

#include "System/IO/Stream.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::IO {

// Reads bytes and lines from a stream it does not own; the stream must outlive the
// reader.
class StreamReader : public Object {
  public:
    explicit StreamReader(Stream& stream) : mStream(stream) {}

    Stream& GetStream() const { return mStream; }
    // Position() == Length() of the stream.
    bool IsEndOfStream() const;
    // The next byte as 0..255, with no end test.
    int Read();
    // The next byte without consuming it, or -1 at the end.
    int Peek();
    // The bytes up to the next line feed, which is consumed and not returned (a
    // carriage return before it stays). At the end this is the empty string, as for
    // an empty line: callers tell them apart with IsEndOfStream().
    String ReadLine();
    // The bytes from the position to the end that the stream actually supplied.
    String ReadToEnd();
    // Closes the stream (the destructor does not).
    void Close();

  private:
    Stream& mStream;
};

}  // namespace System::IO
