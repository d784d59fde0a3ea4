#pragma once

#include "System/Object.h"
#include "System/String.h"

// A locale the application offers: its code and its name in that language.
class SupportedLocaleModel : public System::Object {
  public:
    SupportedLocaleModel() = default;
    SupportedLocaleModel(const System::String& code, const System::String& name)
        : mCode(code), mName(name) {}

    System::String mCode;  // as given to Locale::Import, e.g. "en"
    System::String mName;  // e.g. "English"
};
