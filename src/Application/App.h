#pragma once

#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Object.h"
#include "System/String.h"

#include <atomic>
#include <cstdint>

namespace Application {

// Base of the program's one application object. It records itself as the current
// application, gives the process entry point a Main to call, and runs the
// frame-paced main loop that fires the timers of the whole system once per frame.
//
// The loop runs on the main thread; Stop and RequestStop may be called from any
// thread, RequestStop also from a signal handler.
class App : public System::Object {
  public:
    // Whether a window is shown. The loop knows three values; every value other
    // than Hidden and Minimised counts as shown.
    enum WindowState : int32_t {
        Hidden = 0,
        Normal = 5,
        Minimised = 6,
    };

    // Records this object as the current application and subscribes OnSizeHandle to
    // OnSize.
    App();
    // Forgets this object as the current application.
    ~App() override;

    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // The process entry point: installs the signal handlers, then returns the
    // current application's Main(argc, argv), or 0 when there is no application.
    static int EntryPoint(int argc, char** argv);

    // The program's body.
    virtual int Main(int argc, char** argv) = 0;

    // SIGINT and SIGTERM ask the main loop to end (RequestStop); SIGPIPE is ignored,
    // so that writing to a peer or a pipe that has closed never ends the process.
    // Returns false when a handler could not be installed.
    static bool InstallSignalHandlers();

    // Asks the main loop to end at the end of the current frame, or at the end of
    // the first frame when the loop has not started yet. Async-signal-safe.
    static void RequestStop();

    // The loop's frame rate. A rate that is not above 0 is ignored: it would make
    // the frame period infinite or negative.
    void SetFPS(double framesPerSecond);
    [[nodiscard]] double GetFPS() const { return mFramesPerSecond; }

    // The main loop. Each frame fires the due timers, then calls Run, or while the
    // window is hidden or minimised sleeps one frame period instead. Returns at the
    // end of the first frame after which Stop or RequestStop has been called.
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

    // The empty string.
    [[nodiscard]] System::String GetPath() const { return System::String(); }

    // Kept for the window path; nothing reads it.
    static void SetDisableSysClose(bool value) { mEnableSysClose = value; }

    // Raised with the window's new width, height and state; OnSizeHandle is subscribed.
    System::Event<int, int, WindowState> OnSize;

    // The application whose Main the entry point runs; null while there is none.
    static App* CurrentApp() { return sCurrentApp.load(); }

  private:
    // The application constructed last, while it exists. Constant-initialised, so it
    // is in place before any static constructor runs.
    static inline std::atomic<App*> sCurrentApp{nullptr};
    // Set by RequestStop, taken by the loop at the end of a frame. Lock-free, so a
    // signal handler may set it.
    static inline std::atomic<bool> sStopRequested{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    static inline bool mEnableSysClose{true};

    // True from Start until the loop is asked to end.
    std::atomic<bool> mRunning{false};
    double mFramesPerSecond{0.0};
    // Seconds per frame; 1.0 until SetFPS.
    double mPeriod{1.0};
    // Read by the loop only; written on the main thread.
    WindowState mWindowState{Normal};
    // The window's size as OnSize last gave it.
    int32_t mWidth{0};
    int32_t mHeight{0};
    // Owns the delegate of this object's own OnSize subscription.
    System::EventManager mEvents;
};

}  // namespace Application
