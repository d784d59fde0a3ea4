#pragma once

#include "System/MVC/EventDispatcher.h"

// Starts the program, with its arguments.
class AppInitEvent : public System::MVC::EventDispatcher {
  public:
    AppInitEvent() : AppInitEvent(0, nullptr) {}
    AppInitEvent(int argc, char** argv)
        : EventDispatcher("AppInitEvent"), mArgc(argc), mArgv(argv) {}

    int mArgc;     // the number of words of mArgv
    char** mArgv;  // the program's command line; not owned
};
