#pragma once

#include "System/String.h"

// A named handle on one entry of the application's configuration dictionary. It
// holds no value: every read looks the key up, every assignment stores under it. A
// key without an entry reads as "", 0, 0.0 or false. Safe from any thread.
class ConfigProperty {
  public:
    explicit ConfigProperty(const System::String& key) : mKey(key) {}

    // A handle is never copied or assigned as a whole; assignment takes a value.
    ConfigProperty(const ConfigProperty&) = delete;
    ConfigProperty& operator=(const ConfigProperty&) = delete;

    // The key's current text, or "".
    operator System::String() const;
    // True only when the text, lower-cased, is "true" ("1" and "yes" are false).
    [[nodiscard]] bool ToBool() const;
    // The decimal integer the text begins with ("%d": leading blanks and a sign
    // allowed), or 0.
    [[nodiscard]] int ToInt() const;
    // The number the text begins with ("%lf"), or 0.0.
    [[nodiscard]] double ToDouble() const;

    // Stores value under the key, then announces the change through the dictionary's
    // PropertyChanged, also when the value did not change.
    ConfigProperty& operator=(const System::String& value);

    [[nodiscard]] const System::String& GetKey() const { return mKey; }

  private:
    const System::String mKey;
};
