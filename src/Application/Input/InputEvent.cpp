#include "Application/Input/InputEvent.h"

namespace Application::Input {

// Built on first use, so a subscription made by another static's constructor never
// finds the event not yet constructed.
InputEvent::Event& InputEvent::OnKeyboardInput() {
    static Event event;
    return event;
}

InputEvent::Event& InputEvent::OnMouseInput() {
    static Event event;
    return event;
}

}  // namespace Application::Input
