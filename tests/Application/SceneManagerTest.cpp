#include "Application/Scene/SceneManager.h"

#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Application::Scene::SceneManager;

struct Log {
    void Changed(const System::String& name) { mLines.push_back(std::string("to ") + name.CStr()); }
    std::vector<std::string> mLines;
};

struct Scene : Application::Scene::Scene {
    Scene(const char* name, Log& log) : Application::Scene::Scene(name), mLog(log) {}
    void Start() override { mLog.mLines.push_back(std::string(GetSceneName().CStr()) + " start"); }
    void Update() override {
        mLog.mLines.push_back(std::string(GetSceneName().CStr()) + " update");
    }
    void End() override { mLog.mLines.push_back(std::string(GetSceneName().CStr()) + " end"); }
    Log& mLog;
};

TEST(SceneManagerTest, SwitchingEndsTheCurrentSceneStartsTheNextAndAnnouncesIt) {
    Log log;
    SceneManager manager;
    System::EventManager events;
    events.Add(manager.OnSceneChanged, &log, &Log::Changed);
    Scene menu("menu", log), game("game", log), second("game", log), alone("alone", log);
    manager.Update();
    alone.SetScene("menu");  // no manager: nothing happens
    manager.Add(menu);
    manager.Add(game);
    manager.Add(second);

    manager.SetScene("menu");
    manager.Update();
    game.SetScene("game");  // a scene switches its manager; the first of the name wins
    manager.SetScene("none");
    EXPECT_EQ(manager.GetCurrentScene(), nullptr);
    manager.Update();
    manager.Remove("game");
    manager.SetScene("game");
    EXPECT_EQ(manager.GetCurrentScene(), &second);
    manager.Remove("game");  // the current scene stays current
    EXPECT_EQ(manager.FindScene("game"), nullptr);
    manager.Update();
    manager.Clear();
    EXPECT_EQ(manager.GetCurrentScene(), nullptr);
    EXPECT_EQ(manager.FindScene("menu"), nullptr);
    manager.Update();
    EXPECT_EQ(log.mLines,
              (std::vector<std::string>{"menu start", "to menu", "menu update", "menu end",
                                        "game start", "to game", "game end", "to none",
                                        "game start", "to game", "game update", "game end"}));
}

}  // namespace
