#pragma once

#include <X11/Xlib.h>

namespace Application {

// Translates one event of the application's window: keys and buttons into the input
// events (Application::Input), focus, position and size into the current
// application's window events; the window's destruction ends the main loop. Then,
// whatever the event, raises the current application's OnWindowMessage.
//
// REQUIRES: the main thread; a key event carries the display it came from.
void XProc(XEvent& event);

}  // namespace Application
