#pragma once

#include "System/Object.h"
#include "System/String.h"

namespace System::Net {

// The socket layer's start-up and its English error texts. The texts are fixed by
// error number, so a log shows the same words whatever the C library's locale.
//
// Error numbers are per thread: read them on the thread that saw the failure, right
// after the call that failed, before any other system call can change them.
class Net : public Object {
  public:
    Net() = delete;

    // Nothing to start on this platform; always true.
    static bool Init(int, int) { return true; }
    static void Deinit() {}

    // The calling thread's errno.
    [[nodiscard]] static int GetErrorId();
    [[nodiscard]] static int GetErrorType() { return GetErrorId(); }
    // The text for the calling thread's errno; "" for a number without one.
    [[nodiscard]] static String GetError();
    // The text for a given error number; "" for a number without one.
    [[nodiscard]] static String GetError(int errorId);
};

}  // namespace System::Net
