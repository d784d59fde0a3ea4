#pragma once

#include "Application/App.h"

#include <memory>

class AdminModel;
class AppInitCommand;

// The server's application: creates the application-wide models, runs start-up through
// the command controller, then the frame-paced main loop, and once the loop ends (on
// SIGINT, SIGTERM or SIGHUP) stops both servers, saves and deletes the three models; one
// more of those signals after the last save ends the process at once.
class MainApp : public Application::App {
  public:
    // Creates AppModel and AdminModel.
    MainApp();
    ~MainApp() override;

    // Start-up, the main loop at 30 frames per second, then closing; returns 0, or 1
    // when the closing save left a file as it was.
    int Main(int argc, char** argv) override;

  private:
    AdminModel* mAdminModel{nullptr};  // the AdminModel singleton; deleted by Main
    // The start-up command; it owns the commands it registers, so it goes last.
    std::unique_ptr<AppInitCommand> mInitCommand;
};
