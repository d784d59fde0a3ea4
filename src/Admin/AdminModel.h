#pragma once

#include "System/String.h"

// The administration's state: the program's version.
class AdminModel {
  public:
    // "Beta 1".
    static const System::String& Version();
    // What --version prints: "ZELVO Admin " and the version, then a line feed.
    static const System::String& VersionText();
};
