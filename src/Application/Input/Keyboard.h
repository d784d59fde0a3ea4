#pragma once

namespace Application::Input {

// Raises the keyboard event (InputEvent::OnKeyboardInput) for the window's keys.
class Keyboard {
  public:
    // A key went down: the right-hand Shift, Control and Alt report as their
    // left-hand twins, every other keysym as it is.
    static void OnKeyDown(int keysym);
    // A key went up: every keysym as it is.
    static void OnKeyUp(int keysym);
};

}  // namespace Application::Input
