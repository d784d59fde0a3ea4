#pragma once

#include "Application/Input/InputMap.h"
#include "System/Math/Point.h"

#include <cstdint>

namespace Application::Input {

// Raises the mouse event (InputEvent::OnMouseInput) for the window's pointer and
// buttons, and remembers where the pointer last moved to.
//
// REQUIRES: the thread of the main loop only.
class Mouse {
  public:
    // A button went down, up or was double-clicked, at the last pointer position.
    static void OnKeyDown(InputMap::InputKey key);
    static void OnKeyUp(InputMap::InputKey key);
    static void OnDoubleClick(InputMap::InputKey key);
    // The pointer moved to (x, y) in the window.
    static void OnMove(int x, int y);
    // The wheel turned; the notice does not say how far.
    static void OnWheel(int delta);

    // The last position OnMove reported: (x, y, 0, 0).
    static System::Math::Point GetPosition();

  private:
    static inline int32_t sMouseX{0};
    static inline int32_t sMouseY{0};
};

}  // namespace Application::Input
