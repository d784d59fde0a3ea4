#include "System/MVC/Controller.h"

#include "System/MVC/EventDispatcher.h"
#include "System/MVC/ICommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::MVC {
namespace {

class TestEvent : public EventDispatcher {
  public:
    explicit TestEvent(const char* name) : EventDispatcher(String(name)) {}
    std::vector<std::string>* log = nullptr;
};

// Logs its tag; dispatches a follow-up event in the middle when it has one.
class LoggingCommand : public ICommand {
  public:
    explicit LoggingCommand(std::string tag) : mTag(std::move(tag)) {}
    void Execute(EventDispatcher* event) override {
        auto* log = static_cast<TestEvent*>(event)->log;
        log->push_back(mTag + " begins");
        if (mFollowUp != nullptr) {
            TestEvent followUp(mFollowUp);
            followUp.log = log;
            followUp.Dispatch();
        }
        log->push_back(mTag + " ends");
    }
    const char* mFollowUp = nullptr;

  private:
    std::string mTag;
};

// Registrations are process-wide: each test removes the names it registered.
class ControllerTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const char* name : {"TestEvent", "testevent", "InnerEvent"}) {
            Controller::Set(String(name), nullptr);
        }
    }
    std::vector<std::string> Dispatch(const char* name) {
        std::vector<std::string> log;
        TestEvent event(name);
        event.log = &log;
        event.Dispatch();
        return log;
    }
};

using Log = std::vector<std::string>;

TEST_F(ControllerTest, EachNameRunsItsLastCommandAndANestedDispatchEndsFirst) {
    EXPECT_EQ(Dispatch("TestEvent"), Log{});
    LoggingCommand a("a");
    LoggingCommand b("b");
    LoggingCommand lower("lower");
    Controller::Set(String("TestEvent"), &a);
    Controller::Set(String("testevent"), &lower);
    EXPECT_EQ(Dispatch("TestEvent"), (Log{"a begins", "a ends"}));
    // A later registration replaces the command without deleting it.
    Controller::Set(String("TestEvent"), &b);
    EXPECT_EQ(Dispatch("TestEvent"), (Log{"b begins", "b ends"}));
    EXPECT_EQ(Dispatch("testevent"), (Log{"lower begins", "lower ends"}));
    Controller::Set(String("TestEvent"), nullptr);
    EXPECT_EQ(Controller::GetAction(String("TestEvent")), nullptr);
    Controller::Set(String("TestEvent"), nullptr);
    EXPECT_EQ(Dispatch("TestEvent"), Log{});
    EXPECT_EQ(Controller::GetCondition(&a).Length(), 0u);

    // A dispatch from inside a command runs to its end first.
    LoggingCommand inner("inner");
    a.mFollowUp = "InnerEvent";
    Controller::Set(String("TestEvent"), &a);
    Controller::Set(String("InnerEvent"), &inner);
    EXPECT_EQ(Dispatch("TestEvent"), (Log{"a begins", "inner begins", "inner ends", "a ends"}));
}

}  // namespace
}  // namespace System::MVC
