// The locale file as start-up reads it: its lines counted, every line stored, and a text
// filled in with arguments that hold placeholders themselves.
#include "System/Utility/Locale.h"
#include "System/IO/FileStream.h"
#include "System/IO/StreamReader.h"
#include "fuzz/Fuzz.h"

using System::String;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::ScratchFile("en.txt", data, size);
    System::IO::FileStream file(path.c_str(), 3);
    System::IO::StreamReader reader(file);
    while (!reader.IsEndOfStream()) {
        (void)reader.ReadLine();
    }
    file.Position(0);
    System::Utility::Locale locale;
    locale.Import(file, "en");
    const String text = Fuzz::Text(data, size);
    const int equals = text.IndexOf("=");
    if (equals > 0) {
        System::Collections::Vector<String> args;
        args.Add("{1}");
        args.Add(text);
        (void)locale.GetValue(text.Substring(0, static_cast<uint32_t>(equals)), args);
    }
    return 0;
}
