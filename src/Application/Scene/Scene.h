#pragma once

#include "System/Object.h"
#include "System/String.h"

namespace Application::Scene {

class SceneManager;

// A named stage of the application that a SceneManager can make current. Derived
// scenes do their work in Start, Update and End; the base does nothing in them.
class Scene : public System::Object {
  public:
    explicit Scene(const System::String& name) : mName(name) {}
    ~Scene() override = default;

    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Called when the scene becomes current.
    virtual void Start() {}
    // Called by SceneManager::Update while the scene is current.
    virtual void Update() {}
    // Called when another scene takes its place, or when the manager is cleared.
    virtual void End() {}

    // Switches the scene's manager to the scene of that name (SceneManager::SetScene);
    // nothing while the scene has no manager.
    void SetScene(const System::String& name);

    // Set by SceneManager::Add.
    void SetSceneManager(SceneManager* manager) { mManager = manager; }
    [[nodiscard]] SceneManager* GetSceneManager() const { return mManager; }
    [[nodiscard]] const System::String& GetSceneName() const { return mName; }

  private:
    System::String mName;
    // The manager the scene was last added to; null until then. Not owned.
    SceneManager* mManager{nullptr};
};

}  // namespace Application::Scene
