#pragma once

namespace ZelvoRelay::MVC {

// Registers the relay's commands with the controller, one object per event name, and
// removes and deletes them again.
class MVCInit {
  public:
    // REQUIRES: no other thread dispatches while the table changes (start-up).
    static void Initialize();
    // REQUIRES: as Initialize (shutdown).
    static void Deinitialize();
};

}  // namespace ZelvoRelay::MVC
