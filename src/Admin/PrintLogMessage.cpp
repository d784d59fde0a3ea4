#include "Admin/PrintLogMessage.h"

#include <cstdio>
#include <string>

void PrintLogMessage(const System::String& text) {
    const System::String line = FormatLogMessage(System::DateTime::Now(), text);
    std::fwrite(line.CStr(), 1, line.Length(), stdout);
    // Unflushed lines would sit in the buffer of a piped or redirected log, and be
    // lost when the process is killed.
    std::fflush(stdout);
}

System::String FormatLogMessage(const System::DateTime& time, const System::String& text) {
    return time.ToString("yyyy-MM-dd hh:mm:ss") + ": " + text;
}

System::String EscapeLogText(const System::String& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string escaped;
    escaped.reserve(text.Length());
    for (uint32_t i = 0; i < text.Length(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 32 && byte != 127) {
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
    return System::String(escaped.data(), static_cast<uint32_t>(escaped.size()));
}
