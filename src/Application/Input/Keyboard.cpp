#include "Application/Input/Keyboard.h"

#include "Application/Input/InputEvent.h"

namespace Application::Input {

namespace {

void Raise(InputMap::InputState state, int keysym) {
    InputEvent::OnKeyboardInput().Raise(
        InputMap(System::Math::Point(0, 0, 0, 0), state, static_cast<InputMap::InputKey>(keysym)));
}

}  // namespace

void Keyboard::OnKeyDown(int keysym) {
    switch (keysym) {
        case InputMap::ShiftRight:
            keysym = InputMap::ShiftLeft;
            break;
        case InputMap::ControlRight:
            keysym = InputMap::ControlLeft;
            break;
        case InputMap::AltRight:
            keysym = InputMap::AltLeft;
            break;
        default:
            break;
    }
    Raise(InputMap::Pressed, keysym);
}

void Keyboard::OnKeyUp(int keysym) {
    Raise(InputMap::Released, keysym);
}

}  // namespace Application::Input
