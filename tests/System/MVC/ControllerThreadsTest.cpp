#include "System/MVC/Controller.h"

#include "System/MVC/EventDispatcher.h"
#include "System/MVC/ICommand.h"

#include <gtest/gtest.h>

#include <thread>

namespace System::MVC {
namespace {

class ThreadRecordingCommand : public ICommand {
  public:
    void Execute(EventDispatcher*) override { mThread = std::this_thread::get_id(); }
    std::thread::id mThread;
};

TEST(ControllerThreadsTest, CommandRunsOnTheDispatchingThread) {
    ThreadRecordingCommand command;
    Controller::Set(String("WorkerEvent"), &command);
    std::thread::id worker;
    std::thread thread([&] {
        worker = std::this_thread::get_id();
        EventDispatcher(String("WorkerEvent")).Dispatch();
    });
    thread.join();
    Controller::Set(String("WorkerEvent"), nullptr);
    EXPECT_EQ(command.mThread, worker);
    EXPECT_NE(command.mThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace System::MVC
