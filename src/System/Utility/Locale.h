#pragma once

#include "System/Collections/ObservableDictionary.h"
#include "System/Collections/Vector.h"
#include "System/IO/Stream.h"
#include "System/String.h"

namespace System::Utility {

// The message texts of one language, read from a locale file: lines of key=text,
// where everything before the first "=" is the key and everything after it the
// text (nothing trimmed), "\n" written as backslash and n is a line feed, lines
// starting with "#" and lines without "=" are skipped, and a later line replaces an
// earlier one of the same key. Texts hold placeholders {0}, {1}... that GetValue
// fills. Every stored line is announced through PropertyChanged.
//
// REQUIRES: external synchronization; the table is filled before it is shared.
class Locale : public Collections::ObservableDictionary<String> {
  public:
    Locale() = default;

    // Takes code as the locale code, then stores every entry from the stream's
    // position to its end. The stream is left at its end, open.
    void Import(IO::Stream& stream, const String& code);

    // The key's text with each placeholder {i} replaced by args[i], for i from 0 up,
    // each step working on the result of the one before: an argument holding a
    // placeholder of a later index is filled in turn. Placeholders without an
    // argument stay. The empty string when the key is missing.
    [[nodiscard]] String GetValue(const String& key, const Collections::Vector<String>& args) const;

    // The code given to the last Import; empty before any.
    [[nodiscard]] const String& GetLocalCode() const { return mLocalCode; }

  private:
    String mLocalCode;  // the code given to the last Import
};

}  // namespace System::Utility
