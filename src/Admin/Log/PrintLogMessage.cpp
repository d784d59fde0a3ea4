#include "Admin/Log/PrintLogMessage.h"

#include "System/IO/ConsoleWriter.h"
#include "System/Utility/FailPoint.h"
#include "System/Utility/Utf8.h"

#include <new>
#include <string>

namespace {

// About 13,000 lines of 80 bytes, or a thousand of the longest a client can make.
constexpr size_t kConsoleBacklog = size_t{1} << 20;

System::String DropNotice(uint64_t count) {
    return FormatLogMessage(
        System::DateTime::Now(),
        System::String::Parse("Console: %llu line%s dropped while the console took no output.\n",
                              static_cast<unsigned long long>(count),
                              count == 1 ? " was" : "s were"));
}

System::IO::ConsoleWriter& Console() {
    // Never destroyed: at the end of the process its thread may still wait on a console that
    // takes nothing, and must find it in place.
    static auto* const console = new System::IO::ConsoleWriter(kConsoleBacklog, &DropNotice);
    return *console;
}

}  // namespace

void PrintLogMessage(const System::String& text) {
    // A line that cannot be made for want of memory is lost as one the console drops: the
    // thread that logs goes on (a connection's line ended the process from the accept thread).
    try {
        System::Utility::FailPoint::Check("log-line");
        Console().Write(FormatLogMessage(System::DateTime::Now(), text));
    } catch (const std::bad_alloc&) {
        CountDroppedLine();
    }
}

void CountDroppedLine() {
    Console().CountDropped();
}

int StartConsole() {
    return Console().StartWriting();
}

bool WaitForConsole(std::chrono::steady_clock::time_point deadline) {
    return Console().WaitUntilWritten(deadline);
}

System::String FormatLogMessage(const System::DateTime& time, const System::String& text) {
    return time.ToString("yyyy-MM-dd hh:mm:ss") + ": " + text;
}

System::String EscapeLogText(const System::String& text) {
    static const char kDigits[] = "0123456789abcdef";
    const char* bytes = text.CStr();
    const size_t length = text.Length();
    std::string escaped;
    escaped.reserve(length);
    for (size_t i = 0; i < length;) {
        uint32_t code = 0;
        size_t size = System::Utility::Utf8::Decode(bytes + i, length - i, code);
        // A byte that begins no UTF-8 sequence is taken as the Latin-1 character it is
        // there: 0x80-0x9F are C1 controls to a terminal (0x9B alone starts a control
        // sequence), as are U+0080-U+009F written as UTF-8.
        if (size == 0) {
            code = static_cast<unsigned char>(bytes[i]);
            size = 1;
        }
        const bool control = code < 32 || (code >= 127 && code <= 0x9F);
        for (const size_t end = i + size; i < end; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (!control) {
                escaped += static_cast<char>(byte);
            } else if (byte == '\n') {
                escaped += "\\n";
            } else if (byte == '\r') {
                escaped += "\\r";
            } else if (byte == '\t') {
                escaped += "\\t";
            } else {
                escaped += "\\x";
                escaped += kDigits[byte >> 4];
                escaped += kDigits[byte & 15];
            }
        }
    }
    return System::String(escaped.data(), static_cast<uint32_t>(escaped.size()));
}
