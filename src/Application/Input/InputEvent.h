#pragma once

#include "Application/Input/InputMap.h"
#include "System/Event.h"

namespace Application::Input {

// The two input events of the application. Both are raised on the thread of the
// main loop, which translates the window's events into them.
class InputEvent {
  public:
    using Event = System::Event<const InputMap&>;

    // The keyboard's notices; created on the first call.
    static Event& OnKeyboardInput();
    // The mouse's notices; created on the first call.
    static Event& OnMouseInput();
};

}  // namespace Application::Input
