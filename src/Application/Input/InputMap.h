#pragma once

#include "System/Math/Point.h"
#include "System/Object.h"

#include <cstdint>

namespace Application::Input {

// One keyboard or mouse notice, as the input events carry it.
class InputMap : public System::Object {
  public:
    // For the keyboard the X keysym (any value); for the mouse a button, or the key
    // of move and wheel notices.
    enum InputKey : int32_t {
        MouseLeft = 0,
        MouseRight = 1,
        MouseMiddle = 2,
        MousePointer = 0xFF15,
        ShiftLeft = 0xFFE1,
        ShiftRight = 0xFFE2,
        ControlLeft = 0xFFE3,
        ControlRight = 0xFFE4,
        AltLeft = 0xFFE9,
        AltRight = 0xFFEA,
    };

    enum InputState : int32_t {
        Released = 0,
        Pressed = 1,
        DoubleClick = 2,
        Moved = 3,
        Wheel = 4,
    };

    InputMap(const System::Math::Point& position, InputState state, InputKey key)
        : Position(position), State(state), Key(key) {}

    // The pointer position (x, y, 0, 0) for button and move notices; zeros for
    // keyboard and wheel notices.
    System::Math::Point Position;
    InputState State;
    InputKey Key;
};

}  // namespace Application::Input
