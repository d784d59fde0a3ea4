#pragma once

#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Object.h"
#include "System/String.h"

#include <atomic>
#include <cstdint>

// Xlib's display and event types, named here without Xlib's macros.
struct _XDisplay;
union _XEvent;

namespace Application {

// Base of the program's one application object. It records itself as the current
// application, gives the process entry point a Main to call, and runs the
// frame-paced main loop that fires the timers of the whole system once per frame.
//
// It can also open one X window, whose events the loop translates into the input
// events (Application::Input) and the window events below. The server never opens it.
//
// The loop runs on the main thread; Stop and RequestStop may be called from any
// thread, RequestStop also from a signal handler. The window operations and the
// window events belong to the main thread.
class App : public System::Object {
  public:
    // Whether a window is shown. The loop knows three values; every value other
    // than Hidden and Minimised counts as shown.
    enum WindowState : int32_t {
        Hidden = 0,
        Normal = 5,
        Minimised = 6,
        // What the window reports when it is configured with an area.
        Shown = 9,
    };

    // Records this object as the current application and subscribes OnSizeHandle to
    // OnSize.
    App();
    // Forgets this object as the current application and closes the window's
    // display connection, if one was opened.
    ~App() override;

    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // The process entry point: installs the signal handlers, then returns the
    // current application's Main(argc, argv), or 0 when there is no application.
    static int EntryPoint(int argc, char** argv);

    // The program's body.
    virtual int Main(int argc, char** argv) = 0;

    // SIGINT, SIGTERM and SIGHUP ask the main loop to end (RequestStop); SIGPIPE is ignored,
    // so that writing to a peer or a pipe that has closed never ends the process. SIGHUP and
    // SIGINT stay ignored when the process inherited them so. The stop signals are blocked in
    // the calling thread, and so in every thread it starts, and taken from the process by a
    // thread of their own, started on the first call. REQUIRES: no other thread has been
    // started yet. Returns false when a disposition or the mask could not be set, or the
    // thread did not start.
    static bool InstallSignalHandlers();
    // The error number of the creation of the thread that takes the stop signals; 0 once it
    // runs, and before InstallSignalHandlers. Without it the stop signals stay blocked and
    // pending for good, and only a kill, which loses the closing save, ends the process: a
    // program that finds it not running ends its start-up instead.
    [[nodiscard]] static int GetStopSignalError() { return sStopSignalError.load(); }

    // Asks the main loop to end at the end of the current frame, or at the end of
    // the first frame when the loop has not started yet. Every call counts, however soon
    // after another: the loop ends on one, and the next asks the closing to hurry, or
    // after EndAtNextStop ends the process. Async-signal-safe.
    static void RequestStop();
    // Whether stops were requested beyond those the main loop has ended on: once the loop
    // has returned, a second request to stop. Any thread.
    [[nodiscard]] static bool IsSecondStopRequested() {
        return sStopRequests.load() > sStopsTaken.load();
    }
    // For once the closing's last save is made and has decided the exit status: from now
    // on a request to stop ends the process at once with status, and one already made
    // beyond those the loop ended on ends it now. What the closing has left to do frees
    // memory the process gives back anyway, and with thousands of connections it took
    // most of a minute, longer than a supervisor or an operator waits. Any thread.
    static void EndAtNextStop(int status);

    // The loop's frame rate. A rate that is not above 0 is ignored: it would make
    // the frame period infinite or negative.
    void SetFPS(double framesPerSecond);
    [[nodiscard]] double GetFPS() const { return mFramesPerSecond; }

    // The main loop. Each frame hands the window's events to XProc while a window is
    // open, fires the due timers, then calls Run, or while the window is hidden or
    // minimised sleeps one frame period instead. Returns at the end of the first
    // frame after which Stop or RequestStop has been called, or the window was
    // destroyed.
    void Start();
    // The loop ends after the current frame.
    void Stop();
    [[nodiscard]] bool IsRunning() const { return mRunning.load(); }

    // One frame's work and pacing: Render, then sleep out the rest of the period.
    // A frame that overran its period is followed at once by the next.
    virtual void Run();
    // Draws one frame; the base draws nothing.
    virtual void Render() {}

    void SetShow(WindowState state) { mWindowState = state; }
    [[nodiscard]] WindowState GetShow() const { return mWindowState; }

    // The window's new size and state: Minimised leaves it minimised, any other state
    // shows it. Main thread only.
    void OnSizeHandle(int width, int height, WindowState state);

    // Opens the default X display and maps a window of that size at (0, 0) on its
    // default screen, taking the window events that XProc translates; the middle two
    // flags are not used. Returns false when the display cannot be opened or the
    // size is empty. A window opened before is closed first.
    virtual bool Create(unsigned int width, unsigned int height, bool, bool, bool resizable);

    // Stores the position and moves the window there.
    void SetPosition(int x, int y);
    [[nodiscard]] int GetX() const { return mX; }
    [[nodiscard]] int GetY() const { return mY; }
    // The window's size as the X server has it; the stored size while no window is
    // open.
    [[nodiscard]] int GetWidth() const;
    [[nodiscard]] int GetHeight() const;
    [[nodiscard]] bool IsFullscreen() const { return mFullscreen; }
    // Sets the window's name.
    void SetTitle(const char* title);
    // Stores the size and applies it: a resizable window is resized; a fullscreen
    // request (or leaving fullscreen) goes to the window manager; a window that is
    // not resizable gets the size as its fixed minimum and maximum.
    void SetSize(unsigned int width, unsigned int height, bool fullscreen);
    // Moves the window to the middle of the screen along the axes asked for.
    void SetCentre(bool horizontally, bool vertically);

    // The X display connection, null while no window has been opened, and the X
    // window id, 0 while no window is open.
    [[nodiscard]] _XDisplay* GetDisplay() const { return mDisplay; }
    [[nodiscard]] unsigned long GetWindow() const { return mWindow; }

    // The empty string.
    [[nodiscard]] System::String GetPath() const { return System::String(); }

    // Kept for the window path; nothing reads it.
    static void SetDisableSysClose(bool value) { mEnableSysClose = value; }

    // Raised after each window event XProc is given, with (null, the event type,
    // the event type, 0, a result set to 0).
    System::Event<void*, unsigned int, int, int, int&> OnWindowMessage;
    // Raised with the window's new position.
    System::Event<int, int> OnMove;
    // Raised with the window's new width, height and state; OnSizeHandle is subscribed.
    System::Event<int, int, WindowState> OnSize;
    // Raised with true when the window gains the focus, false when it loses it.
    System::Event<bool> OnFocus;

    // The application whose Main the entry point runs; null while there is none.
    static App* CurrentApp() { return sCurrentApp.load(); }

  private:
    friend void XProc(_XEvent& event);

    // Closes the display connection, which also destroys the window.
    void CloseDisplay();
    // Asks the window manager to show the window fullscreen or to stop doing so.
    void RequestFullscreen(bool fullscreen);
    // Hands every X event that has arrived to XProc.
    void DrainWindowEvents();

    // The application constructed last, while it exists. Constant-initialised, so it
    // is in place before any static constructor runs.
    static inline std::atomic<App*> sCurrentApp{nullptr};
    // Counted by RequestStop. Lock-free, so a signal handler may add to it. A flag taken
    // by the loop would fold two signals sent together into one, and the closing would
    // never learn that it was asked again.
    static inline std::atomic<uint32_t> sStopRequests{0};
    static_assert(std::atomic<uint32_t>::is_always_lock_free);
    // The requests the loop has ended on, one each time; written by the loop only.
    static inline std::atomic<uint32_t> sStopsTaken{0};
    // The status a request to stop ends the process with at once (EndAtNextStop); -1
    // while a request only asks the loop and the closing to end. Lock-free, so that the
    // signal handler reads it.
    static inline std::atomic<int> sExitStatus{-1};
    static_assert(std::atomic<int>::is_always_lock_free);
    // What the start of the thread that takes the stop signals gave; written once.
    static inline std::atomic<int> sStopSignalError{0};
    static inline bool mEnableSysClose{true};

    // True from Start until the loop is asked to end.
    std::atomic<bool> mRunning{false};
    double mFramesPerSecond{0.0};
    // Seconds per frame; 1.0 until SetFPS.
    double mPeriod{1.0};
    // Read by the loop only; written on the main thread.
    WindowState mWindowState{Normal};
    // The X connection and window; null and 0 while there is none.
    _XDisplay* mDisplay{nullptr};
    unsigned long mWindow{0};
    bool mFullscreen{false};
    bool mResizable{false};
    // The position SetPosition last stored.
    int32_t mX{0};
    int32_t mY{0};
    // The window's size as SetSize or OnSize last gave it.
    int32_t mWidth{0};
    int32_t mHeight{0};
    // Owns the delegate of this object's own OnSize subscription.
    System::EventManager mEvents;
};

}  // namespace Application
