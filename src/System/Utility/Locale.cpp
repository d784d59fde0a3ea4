#include "System/Utility/Locale.h"

#include <cstdint>

#include "System/IO/StreamReader.h"

namespace System::Utility {

void Locale::Import(IO::Stream& stream, const String& code) {
    mLocalCode = code;
    const String comment("#");
    const String equals("=");
    const String escapedLineFeed("\\n");
    const String lineFeed("\n");
    IO::StreamReader reader(stream);
    while (!reader.IsEndOfStream()) {
        const String line = reader.ReadLine();
        if (line.StartsWith(comment)) {
            continue;
        }
        const int32_t separator = line.IndexOf(equals);
        if (separator < 0) {
            continue;
        }
        const auto position = static_cast<uint32_t>(separator);
        Set(line.Substring(0, position),
            line.Substring(position + 1).Replace(escapedLineFeed, lineFeed));
    }
}

String Locale::GetValue(const String& key, const Collections::Vector<String>& args) const {
    const auto* entry = mHash.Find(key);
    if (entry == nullptr) {
        return String();
    }
    String text = entry->mValue;
    for (uint32_t i = 0; i < args.Count(); ++i) {
        text = text.Replace(String::Parse("{%d}", static_cast<int>(i)), args[i]);
    }
    return text;
}

}  // namespace System::Utility
