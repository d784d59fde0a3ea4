// Before Xlib, whose macros (None, Bool) would rename names of the test framework.
#include <gtest/gtest.h>

#include "Application/App.h"
#include "Application/Input/InputEvent.h"
#include "Application/Input/Keyboard.h"
#include "Application/Input/Mouse.h"
#include "Application/XProc.h"
#include "System/EventManager.h"
#include "support/ServerProcess.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace {

using Application::App;
using Application::Input::InputEvent;
using Application::Input::InputMap;
using Lines = std::vector<std::string>;

// Writes down every notice of the window path as a short line; the loop ends by
// itself after 20 s should the window's destruction never come.
struct RecordingApp : App {
    RecordingApp() {
        mEvents.Add(InputEvent::OnKeyboardInput(), this, &RecordingApp::Key);
        mEvents.Add(InputEvent::OnMouseInput(), this, &RecordingApp::Pointer);
        mEvents.Add(OnMove, this, &RecordingApp::Move);
        mEvents.Add(OnSize, this, &RecordingApp::Size);
        mEvents.Add(OnFocus, this, &RecordingApp::Focus);
        mEvents.Add(OnWindowMessage, this, &RecordingApp::Message);
    }
    int Main(int, char**) override { return 0; }
    void Render() override {
        if (std::chrono::steady_clock::now() > mDeadline) {
            Stop();
        }
    }
    static std::string Notice(const InputMap& input) {  // "state key at x,y"
        char line[64];
        std::snprintf(line, sizeof line, "%d %x at %g,%g", input.State, input.Key, input.Position.x,
                      input.Position.y);
        return line;
    }
    void Key(const InputMap& input) { mKeys.push_back(Notice(input)); }
    void Pointer(const InputMap& input) { mMouse.push_back(Notice(input)); }
    void Move(int x, int y) { mWindow.push_back(std::to_string(x) + "," + std::to_string(y)); }
    void Size(int width, int height, WindowState state) {
        mWindow.push_back(std::to_string(width) + "x" + std::to_string(height) + " " +
                          std::to_string(state));
    }
    void Focus(bool in) { mWindow.push_back(in ? "focus in" : "focus out"); }
    void Message(void* data, unsigned int type, int again, int zero, int& result) {
        const bool plain = !data && int(type) == again && zero == 0 && result == 0;
        mMessages.push_back(plain ? again : -1);
        result = 1;
    }

    Lines mKeys, mMouse, mWindow;
    std::vector<int> mMessages;  // each type, or -1 for other arguments
    std::chrono::steady_clock::time_point mDeadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(20);
    System::EventManager mEvents;
};

TEST(XProcTest, EventsWithoutAnXServerBecomeNotices) {
    RecordingApp app;
    for (const int keysym : {0xFFE2, 0xFFE4, 0xFFEA, 0x61}) {
        Application::Input::Keyboard::OnKeyDown(keysym);
    }
    Application::Input::Keyboard::OnKeyUp(0xFFE2);
    EXPECT_EQ(app.mKeys, (Lines{"1 ffe1 at 0,0", "1 ffe3 at 0,0", "1 ffe9 at 0,0", "1 61 at 0,0",
                                "0 ffe2 at 0,0"}));

    std::vector<int> types;
    const auto feed = [&](int type, unsigned int button, int x = 0, int y = 0, int w = 0,
                          int h = 0) {
        XEvent event = {};
        event.type = type;
        if (type == MotionNotify) {
            event.xmotion.x = x, event.xmotion.y = y;
        } else if (type == ConfigureNotify) {
            event.xconfigure.x = x, event.xconfigure.y = y;
            event.xconfigure.width = w, event.xconfigure.height = h;
        } else {
            event.xbutton.button = button;
        }
        Application::XProc(event);
        types.push_back(type);
    };
    feed(MotionNotify, 0, 12, 34);
    for (unsigned int button = 1; button <= 6; ++button) {
        feed(ButtonPress, button);
        feed(ButtonRelease, button);
    }
    for (const int type : {FocusIn, FocusOut, ClientMessage}) {
        feed(type, 0);
    }
    feed(ConfigureNotify, 0, 7, 8);
    feed(ConfigureNotify, 0, 5, 6, 300, 200);
    Application::Input::Mouse::OnDoubleClick(InputMap::MouseLeft);
    EXPECT_EQ(app.mMouse, (Lines{"3 ff15 at 12,34", "1 0 at 12,34", "0 0 at 12,34", "1 2 at 12,34",
                                 "0 2 at 12,34", "1 1 at 12,34", "0 1 at 12,34", "4 ff15 at 0,0",
                                 "4 ff15 at 0,0", "2 0 at 12,34"}));
    EXPECT_EQ(app.mWindow, (Lines{"focus in", "focus out", "7,8", "0x0 6", "5,6", "300x200 9"}));
    EXPECT_EQ(app.mMessages, types);
    EXPECT_EQ(app.GetShow(), App::Normal);
    // The size lands in the size, not in the position.
    EXPECT_EQ(app.GetWidth() * 1000 + app.GetHeight() + app.GetX(), 300200);
    setenv("DISPLAY", ":65000", 1);
    EXPECT_FALSE(app.Create(320, 240, false, false, true));
}

// Starts an X server of its own on a display number the server picks free; skips the
// test when there is no Xvfb or it does not come up.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const int line = mServer.WaitForLine("", 0, std::chrono::seconds(20));
        if (line < 0) {
            GTEST_SKIP() << "no X server: Xvfb is missing or did not start";
        }
        setenv("DISPLAY", (":" + mServer.Lines()[static_cast<size_t>(line)]).c_str(), 1);
    }
    // The number comes on standard output once the server takes clients.
    TestSupport::ServerProcess mServer{
        {"Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"}, "/dev/null"};
};

// Another client sends the window a user's events, then destroys it, which ends the loop.
TEST_F(WindowTest, LoopTranslatesTheWindowsEventsUntilItIsDestroyed) {
    RecordingApp app;
    ASSERT_TRUE(app.Create(320, 240, false, false, true));
    const Window window = app.GetWindow();
    app.SetTitle("Zelvo");
    EXPECT_EQ(app.GetWidth() * 1000 + app.GetHeight(), 320240);
    app.SetSize(640, 480, true);  // no window manager takes it up, and no error comes
    EXPECT_TRUE(app.IsFullscreen());
    app.SetSize(200, 100, false);
    app.SetCentre(true, true);  // the window's middle at the screen's
    EXPECT_EQ(app.GetX() * 1000 + app.GetY(), 220190);
    XSync(app.GetDisplay(), False);

    Display* user = XOpenDisplay(nullptr);
    ASSERT_NE(user, nullptr);
    char* title = nullptr;
    ASSERT_NE(XFetchName(user, window, &title), 0);
    EXPECT_STREQ(title, "Zelvo");
    XFree(title);
    const auto send = [&](int type, long mask, unsigned int detail, int x = 0, int y = 0) {
        XEvent event = {};
        XKeyEvent& key = event.xkey;
        key.type = type, key.window = window, key.root = DefaultRootWindow(user);
        key.x = x, key.y = y, key.same_screen = True;
        key.keycode = detail;  // where button events have their button
        XSendEvent(user, window, False, mask, &event);
    };
    send(MotionNotify, PointerMotionMask, 0, 10, 20);
    send(ButtonPress, ButtonPressMask, Button3);
    send(ButtonRelease, ButtonReleaseMask, Button4);
    send(KeyPress, KeyPressMask, XKeysymToKeycode(user, XK_a));
    send(KeyPress, KeyPressMask, XKeysymToKeycode(user, XK_Shift_R));
    send(KeyRelease, KeyReleaseMask, XKeysymToKeycode(user, XK_Shift_R));
    send(FocusIn, FocusChangeMask, NotifyNormal);
    XDestroyWindow(user, window);
    XCloseDisplay(user);

    app.SetFPS(1000);
    app.Start();
    EXPECT_EQ(app.mKeys, (Lines{"1 61 at 0,0", "1 ffe1 at 0,0", "0 ffe2 at 0,0"}));
    EXPECT_EQ(app.mMouse, (Lines{"3 ff15 at 10,20", "1 1 at 10,20", "4 ff15 at 0,0"}));
    EXPECT_EQ(app.mWindow, (Lines{"0,0", "200x100 9", "220,190", "200x100 9", "focus in"}));
    EXPECT_EQ(app.mMessages.back(), DestroyNotify);
    // The window is forgotten with its destruction, so asking for its size is no error.
    EXPECT_EQ(app.GetWindow(), 0u);
    EXPECT_EQ(app.GetWidth() * 1000 + app.GetHeight(), 200100);
}

// A window that is not resizable keeps its size and gets the new one as its only size.
TEST_F(WindowTest, SizingAFixedWindowFixesItsSizeHints) {
    RecordingApp app;
    ASSERT_TRUE(app.Create(100, 50, false, false, false));
    app.SetSize(80, 60, false);
    XSizeHints hints = {};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(app.GetDisplay(), app.GetWindow(), &hints, &supplied), 0);
    EXPECT_EQ(hints.flags, PMinSize | PMaxSize);
    EXPECT_EQ((Lines{std::to_string(hints.min_width) + "x" + std::to_string(hints.min_height),
                     std::to_string(hints.max_width) + "x" + std::to_string(hints.max_height)}),
              (Lines{"80x60", "80x60"}));
    EXPECT_EQ(app.GetWidth() * 1000 + app.GetHeight(), 100050);
}

}  // namespace
