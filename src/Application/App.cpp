#include "Application/App.h"

#include "Application/XProc.h"
#include "System/Threading/Thread.h"
#include "System/Timer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace Application {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// Whether the process ignores signal. A server started under nohup, or as a background job
// of a script, inherits SIGHUP or SIGINT ignored so that it outlives its session; taking the
// signal would end the server when the session does. It is never handled otherwise, so it
// stays ignored for good.
bool Ignored(int signal) {
    struct sigaction current = {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// The thread that takes the stop signals for the whole process: they are blocked in every
// thread, and this one waits for them. It runs for as long as the process does.
class StopSignalTaker : public System::Threading::Thread {
  public:
    explicit StopSignalTaker(const sigset_t& stops) : mStops(stops) {}

    void Run() override {
        for (;;) {
            int signal = 0;
            if (sigwait(&mStops, &signal) == 0 && !Ignored(signal)) {
                App::RequestStop();
            }
        }
    }

  private:
    const sigset_t mStops;
};

// Keys, buttons, pointer motion, entering, structure changes and focus.
constexpr long kWindowEvents = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               EnterWindowMask | PointerMotionMask | ButtonMotionMask |
                               StructureNotifyMask | FocusChangeMask;
static_assert(kWindowEvents == 0x22205F);

// Sleeps for the given number of seconds; nothing for a duration that is not above 0.
void Sleep(double seconds) {
    if (seconds > 0.0) {
        std::this_thread::sleep_for(Seconds(seconds));
    }
}

}  // namespace

App::App() {
    mEvents.Add(OnSize, this, &App::OnSizeHandle);
    sCurrentApp.store(this);
}

App::~App() {
    App* self = this;
    sCurrentApp.compare_exchange_strong(self, nullptr);
    CloseDisplay();
}

void App::CloseDisplay() {
    if (mDisplay != nullptr) {
        XCloseDisplay(mDisplay);
        mDisplay = nullptr;
        mWindow = 0;
    }
}

int App::EntryPoint(int argc, char** argv) {
    App* app = CurrentApp();
    if (app == nullptr) {
        return 0;
    }
    InstallSignalHandlers();
    return app->Main(argc, argv);
}

bool App::InstallSignalHandlers() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    bool installed = sigaction(SIGPIPE, &ignore, nullptr) == 0;
    // SIGHUP as well: the terminal of a foreground server hanging up would otherwise kill it
    // without the closing save, and the items uploaded since the last save would leave the
    // catalogue while their files stay.
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        sigaddset(&stops, signal);
    }
    // SIGTERM is taken even when inherited ignored; SIGHUP and SIGINT stay as inherited.
    struct sigaction taken = {};
    taken.sa_handler = SIG_DFL;
    sigemptyset(&taken.sa_mask);
    installed = sigaction(SIGTERM, &taken, nullptr) == 0 && installed;
    // Every thread keeps the stop signals blocked and one thread of their own waits for them.
    // A handler would run on whichever thread a signal lands on, and under ThreadSanitizer one
    // landing on a thread that was just then setting up its handling of signals was lost. Taken
    // by a wait, no thread's call is interrupted either, and one a launcher left pending is
    // taken at once. Blocked before any thread exists, since each thread starts with the mask
    // of the thread that creates it.
    installed = pthread_sigmask(SIG_BLOCK, &stops, nullptr) == 0 && installed;
    // Never deleted: its thread waits for the signals for as long as the process runs.
    static StopSignalTaker* const taker = new StopSignalTaker(stops);
    static const int error = taker->Start();
    sStopSignalError.store(error);
    return installed && error == 0;
}

void App::RequestStop() {
    sStopRequests.fetch_add(1);
    const int status = sExitStatus.load();
    if (status >= 0) {
        std::_Exit(status);
    }
}

void App::EndAtNextStop(int status) {
    sExitStatus.store(status);
    // A request that came before the status was stored found none to end with.
    if (IsSecondStopRequested()) {
        std::_Exit(status);
    }
}

void App::OnSizeHandle(int width, int height, WindowState state) {
    mWidth = width;
    mHeight = height;
    mWindowState = state == Minimised ? Minimised : Normal;
}

void App::SetFPS(double framesPerSecond) {
    if (!(framesPerSecond > 0.0)) {
        return;
    }
    mFramesPerSecond = framesPerSecond;
    mPeriod = 1.0 / framesPerSecond;
}

void App::Start() {
    mRunning.store(true);
    for (;;) {
        DrainWindowEvents();
        System::Timer::SigTimer();
        if (mWindowState == Hidden || mWindowState == Minimised) {
            Sleep(mPeriod);
        } else {
            Run();
        }
        // Without a way out of the loop, SIGINT or SIGTERM would end the process
        // without the closing save, losing whatever changed since the last one.
        if (sStopRequests.load() > sStopsTaken.load()) {
            sStopsTaken.fetch_add(1);
            mRunning.store(false);
        }
        if (!mRunning.load()) {
            return;
        }
    }
}

void App::DrainWindowEvents() {
    if (mWindow == 0) {
        return;
    }
    while (XPending(mDisplay) > 0) {
        XEvent event;
        XNextEvent(mDisplay, &event);
        XProc(event);
    }
}

void App::Stop() {
    mRunning.store(false);
}

void App::Run() {
    // Paced on the steady clock: a step of the wall clock would stretch or skip frames.
    const Clock::time_point start = Clock::now();
    Render();
    Sleep(mPeriod - Seconds(Clock::now() - start).count());
}

bool App::Create(unsigned int width, unsigned int height, bool, bool, bool resizable) {
    mResizable = resizable;
    // An empty window is an X error, and Xlib's answer to an error ends the process.
    if (width == 0 || height == 0) {
        return false;
    }
    CloseDisplay();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    Visual* visual = DefaultVisual(display, screen);
    int depth = DefaultDepth(display, screen);
    XVisualInfo pattern = {};
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualNoMask, &pattern, &count);
    for (int i = 0; i < count; ++i) {
        // The list spans every screen; a visual of another one cannot be used here.
        if (visuals[i].screen == screen) {
            visual = visuals[i].visual;
            depth = visuals[i].depth;
            break;
        }
    }
    if (visuals != nullptr) {
        XFree(visuals);
    }
    // A visual other than the root's needs a colormap and a border of its own, or
    // creating the window is an X error.
    XSetWindowAttributes attributes = {};
    attributes.colormap = XCreateColormap(display, root, visual, AllocNone);
    const Window window =
        XCreateWindow(display, root, 0, 0, width, height, 0, depth, InputOutput, visual,
                      CWColormap | CWBorderPixel | CWBackPixel, &attributes);
    XSelectInput(display, window, kWindowEvents);
    XMapWindow(display, window);
    mDisplay = display;
    mWindow = window;
    return true;
}

// Without a window the X calls below would be made on a null display; the values
// are kept all the same.
void App::SetPosition(int x, int y) {
    mX = x;
    mY = y;
    if (mWindow != 0) {
        XMoveWindow(mDisplay, mWindow, x, y);
    }
}

int App::GetWidth() const {
    XWindowAttributes attributes;
    if (mWindow != 0 && XGetWindowAttributes(mDisplay, mWindow, &attributes) != 0) {
        return attributes.width;
    }
    return mWidth;
}

int App::GetHeight() const {
    XWindowAttributes attributes;
    if (mWindow != 0 && XGetWindowAttributes(mDisplay, mWindow, &attributes) != 0) {
        return attributes.height;
    }
    return mHeight;
}

void App::SetTitle(const char* title) {
    if (mWindow != 0) {
        XSetStandardProperties(mDisplay, mWindow, title, nullptr, None, nullptr, 0, nullptr);
    }
}

void App::SetSize(unsigned int width, unsigned int height, bool fullscreen) {
    mWidth = static_cast<int32_t>(width);
    mHeight = static_cast<int32_t>(height);
    if (fullscreen && mFullscreen) {
        return;
    }
    if (fullscreen || mFullscreen) {
        RequestFullscreen(fullscreen);
        mFullscreen = fullscreen;
        if (mFullscreen) {
            return;
        }
    }
    if (mWindow == 0) {
        return;
    }
    if (mResizable) {
        // Resizing to an empty size is an X error, which ends the process.
        if (width != 0 && height != 0) {
            XResizeWindow(mDisplay, mWindow, width, height);
        }
        return;
    }
    XSizeHints hints = {};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = static_cast<int>(width);
    hints.min_height = hints.max_height = static_cast<int>(height);
    XSetStandardProperties(mDisplay, mWindow, nullptr, nullptr, None, nullptr, 0, &hints);
}

void App::RequestFullscreen(bool fullscreen) {
    if (mWindow == 0) {
        return;
    }
    XEvent message = {};
    message.xclient.type = ClientMessage;
    message.xclient.window = mWindow;
    message.xclient.message_type = XInternAtom(mDisplay, "_NET_WM_STATE", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = fullscreen ? 1 : 0;
    message.xclient.data.l[1] =
        static_cast<long>(XInternAtom(mDisplay, "_NET_WM_STATE_FULLSCREEN", False));
    XSendEvent(mDisplay, DefaultRootWindow(mDisplay), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

void App::SetCentre(bool horizontally, bool vertically) {
    if (mWindow == 0) {
        return;
    }
    XWindowAttributes screen;
    if (XGetWindowAttributes(mDisplay, DefaultRootWindow(mDisplay), &screen) == 0) {
        return;
    }
    // Half the screen less half the window, so the window's middle is the screen's.
    const int x = horizontally ? screen.width / 2 - GetWidth() / 2 : mX;
    const int y = vertically ? screen.height / 2 - GetHeight() / 2 : mY;
    SetPosition(x, y);
}

}  // namespace Application
