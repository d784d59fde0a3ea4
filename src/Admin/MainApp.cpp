#include "Admin/MainApp.h"

#include "Admin/AdminModel.h"
#include "Admin/AppInitCommand.h"
#include "Admin/Log/PrintLogMessage.h"
#include "Application/AppClosingEvent.h"
#include "Application/AppInitEvent.h"
#include "Application/AppModel.h"
#include "Application/SaveUserDataEvent.h"
#include "System/MVC/Controller.h"
#include "System/Singleton.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <chrono>

using ZelvoRelay::MVC::Model::ZelvoRelayModel;

MainApp::MainApp() {
    AppModel::Instance();
    mAdminModel = AdminModel::Instance();
}

MainApp::~MainApp() = default;

int MainApp::Main(int argc, char** argv) {
    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    mInitCommand = std::make_unique<AppInitCommand>();
    System::MVC::Controller::Set("AppInitEvent", mInitCommand.get());
    {
        AppInitEvent init(argc, argv);
        init.Dispatch();
    }
    SetFPS(30.0);
    Start();

    // Saved first: the relay's stop makes the photos of every upload that reached it,
    // which can take a while, and a supervisor that loses patience and kills the process
    // must not lose what changed since the last periodic save.
    {
        SaveUserDataEvent save;
        save.Dispatch();
    }
    // Every server and worker thread has ended when these return, so none of them can
    // touch a model deleted below. A second stop signal, however soon after the first,
    // ends what remains of the relay's stop: the messages not yet handled and the photos
    // not yet made are discarded.
    relay->Server.Disconnect(&App::IsSecondStopRequested);
    mAdminModel->mPolicyServer.Disconnect();
    // Saved again, with the items of the photos made as the relay stopped.
    mAdminModel->mSaveFailed = false;
    {
        AppClosingEvent closing;
        closing.Dispatch();
    }
    // Status 0 after a closing save that kept an old file would tell a supervisor that
    // the state on disk is the latest, when the changes since the last save are lost.
    const int status = mAdminModel->mSaveFailed ? 1 : 0;
    // A console read gets every line before the end; one that takes nothing must not hold
    // the end for ever, or a supervisor's kill would be all that ends the process.
    const auto consoleDeadline = std::chrono::steady_clock::now() + kConsoleEndWait;
    WaitForConsole(consoleDeadline);
    // Nothing is left to save: one more stop signal ends the process at once.
    EndAtNextStop(status);
    // The commands go before the models they use: a command that still had a request
    // under way would otherwise answer it into a deleted model.
    System::MVC::Controller::Set("AppInitEvent", nullptr);
    mInitCommand.reset();

    System::Singleton<ZelvoRelayModel>::Destroy();
    AdminModel::Destroy();
    AppModel::Destroy();
    WaitForConsole(consoleDeadline);
    return status;
}
