#include "Application/Input/Mouse.h"

#include "Application/Input/InputEvent.h"

namespace Application::Input {

namespace {

void Raise(const System::Math::Point& position, InputMap::InputState state,
           InputMap::InputKey key) {
    InputEvent::OnMouseInput().Raise(InputMap(position, state, key));
}

}  // namespace

void Mouse::OnKeyDown(InputMap::InputKey key) {
    Raise(GetPosition(), InputMap::Pressed, key);
}

void Mouse::OnKeyUp(InputMap::InputKey key) {
    Raise(GetPosition(), InputMap::Released, key);
}

void Mouse::OnDoubleClick(InputMap::InputKey key) {
    Raise(GetPosition(), InputMap::DoubleClick, key);
}

void Mouse::OnMove(int x, int y) {
    sMouseX = x;
    sMouseY = y;
    Raise(GetPosition(), InputMap::Moved, InputMap::MousePointer);
}

void Mouse::OnWheel(int) {
    Raise(System::Math::Point(0, 0, 0, 0), InputMap::Wheel, InputMap::MousePointer);
}

System::Math::Point Mouse::GetPosition() {
    return System::Math::Point(sMouseX, sMouseY, 0, 0);
}

}  // namespace Application::Input
