#include "Application/XProc.h"

#include "Application/App.h"
#include "Application/Input/Keyboard.h"
#include "Application/Input/Mouse.h"

#include <optional>

namespace Application {

namespace {

using Input::InputMap;
using Input::Mouse;

// The mouse key of an X button: 1 left, 2 middle, 3 right; none for the others.
std::optional<InputMap::InputKey> MouseKey(unsigned int button) {
    switch (button) {
        case Button1:
            return InputMap::MouseLeft;
        case Button2:
            return InputMap::MouseMiddle;
        case Button3:
            return InputMap::MouseRight;
        default:
            return std::nullopt;
    }
}

// Keysyms are below 2^29, so they fit the keyboard's int.
int Keysym(XKeyEvent& event) {
    return static_cast<int>(XLookupKeysym(&event, 0));
}

}  // namespace

void XProc(XEvent& event) {
    App* app = App::CurrentApp();
    switch (event.type) {
        case KeyPress:
            Input::Keyboard::OnKeyDown(Keysym(event.xkey));
            break;
        case KeyRelease:
            Input::Keyboard::OnKeyUp(Keysym(event.xkey));
            break;
        case ButtonPress:
            if (const auto key = MouseKey(event.xbutton.button)) {
                Mouse::OnKeyDown(*key);
            }
            break;
        case ButtonRelease:
            if (const auto key = MouseKey(event.xbutton.button)) {
                Mouse::OnKeyUp(*key);
            } else if (event.xbutton.button == Button4) {
                Mouse::OnWheel(120);
            } else if (event.xbutton.button == Button5) {
                Mouse::OnWheel(-120);
            }
            break;
        case MotionNotify:
            Mouse::OnMove(event.xmotion.x, event.xmotion.y);
            break;
        case FocusIn:
        case FocusOut:
            if (app != nullptr) {
                app->OnFocus.Raise(event.type == FocusIn);
            }
            break;
        case DestroyNotify:
            if (app != nullptr) {
                // A window id kept after its window is gone would make the next
                // window operation an X error, which ends the process.
                if (event.xdestroywindow.window == app->mWindow) {
                    app->mWindow = 0;
                }
                app->Stop();
            }
            break;
        case ConfigureNotify:
            if (app != nullptr) {
                const XConfigureEvent& configure = event.xconfigure;
                app->OnMove.Raise(configure.x, configure.y);
                const bool empty = configure.width == 0 && configure.height == 0;
                app->OnSize.Raise(configure.width, configure.height,
                                  empty ? App::Minimised : App::Shown);
            }
            break;
        default:
            break;
    }
    if (app != nullptr) {
        int result = 0;
        const auto type = static_cast<unsigned int>(event.type);
        app->OnWindowMessage.Raise(nullptr, type, event.type, 0, result);
    }
}

}  // namespace Application
