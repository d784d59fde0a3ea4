#pragma once

#include "System/DateTime.h"
#include "System/String.h"

#include <chrono>

// The console log: one line on standard output per event, stamped with the local time.

// How long the end of the process waits for a console that takes nothing.
inline constexpr std::chrono::seconds kConsoleEndWait{5};

// Stamps text (which carries its own line feed) with the local time as "yyyy-MM-dd
// hh:mm:ss" and ": ", and hands the line to the console's writer, which writes it to
// standard output behind the lines logged before it, without holding up the caller. Lines
// written by different threads never mix within a line. While 1 MiB of lines waits for a
// console that takes nothing, besides those being written to it, further lines are dropped
// until half of that is free again, and once it takes output again one line says how many,
// where they are missing. A line that cannot be made for want of memory is dropped and
// counted the same way. Output errors are ignored.
void PrintLogMessage(const System::String& text);

// Counts a line that could not be made for want of memory as dropped, as PrintLogMessage
// counts those it drops. Allocates nothing.
void CountDroppedLine();

// Starts the console's writer: 0, or the error number of its thread's creation, in which
// case each line is written by the thread that logs it.
int StartConsole();

// Waits until every line logged before the call is written, or until deadline. Returns
// whether they were written.
bool WaitForConsole(std::chrono::steady_clock::time_point deadline);

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
