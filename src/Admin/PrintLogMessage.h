#pragma once

#include "System/DateTime.h"
#include "System/String.h"

// The console log: one line on standard output per event, stamped with the local time.

// Writes the local time as "yyyy-MM-dd hh:mm:ss", ": " and text (which carries its own
// line feed) to standard output at once, unbuffered. Lines written by different threads
// never mix within a line. Output errors are ignored.
void PrintLogMessage(const System::String& text);

// The line PrintLogMessage writes for text at the given time.
[[nodiscard]] System::String FormatLogMessage(const System::DateTime& time,
                                              const System::String& text);

// text with each control character written as escapes of its bytes: "\n", "\r" and
// "\t" for line feed, carriage return and tab, "\xhh" (two lower-case hexadecimal
// digits) for the others. Control characters are the bytes 0-31 and 127, U+0080-U+009F
// written as UTF-8, and the bytes 0x80-0x9F that are not part of a UTF-8 sequence.
// Text that clients control goes through it before it is logged, so that a client can
// neither forge log lines nor send the terminal control sequences.
[[nodiscard]] System::String EscapeLogText(const System::String& text);
