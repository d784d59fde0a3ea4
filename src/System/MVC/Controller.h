#pragma once

#include "System/Collections/Hash.h"
#include "System/String.h"

namespace System::MVC {

class ICommand;

// The table of commands by event name (case-sensitive). It never deletes a command:
// whoever registers one owns it.
//
// REQUIRES: Set runs only while no other thread can dispatch (start-up and
// shutdown); lookups may then run on any number of threads.
class Controller {
  public:
    Controller() = delete;

    // Registers command under name, replacing an earlier registration of the name;
    // a null command removes the name.
    static void Set(const String& name, ICommand* command);

    // The command registered under name, or null.
    static ICommand* GetAction(const String& name);

    // Always the empty string.
    static String GetCondition(ICommand* command);

  private:
    static Collections::Hash<String, ICommand*>& Control();
};

}  // namespace System::MVC
