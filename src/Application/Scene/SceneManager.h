#pragma once

#include "Application/Scene/Scene.h"
#include "System/Collections/Vector.h"
#include "System/Event.h"
#include "System/Object.h"
#include "System/String.h"

namespace Application::Scene {

// The scenes of the application by name, and the one that is current. The manager
// owns no scene.
//
// REQUIRES: a scene outlives its place in the manager (and its time as the current
// scene); the main thread only.
class SceneManager : public System::Object {
  public:
    SceneManager() = default;
    ~SceneManager() override = default;

    SceneManager(const SceneManager&) = delete;
    SceneManager& operator=(const SceneManager&) = delete;

    // Tells scene its manager and appends it to the list.
    void Add(Scene& scene);
    // Takes the first scene of that name off the list. The current scene stays
    // current, even when it is the one taken off.
    void Remove(const System::String& name);
    // The first scene of that name in the order added, or null.
    [[nodiscard]] Scene* FindScene(const System::String& name) const;

    // Ends the current scene, makes the scene of that name current (none when there
    // is no such scene), starts it, then raises OnSceneChanged with the name.
    void SetScene(const System::String& name);
    [[nodiscard]] Scene* GetCurrentScene() const { return mCurrentScene; }
    // Updates the current scene, if there is one.
    void Update();
    // Ends the current scene, if there is one, and forgets every scene.
    void Clear();

    // Raised after every SetScene with the name asked for.
    System::Event<const System::String&> OnSceneChanged;

  private:
    // In the order added; not owned.
    System::Collections::Vector<Scene*> mScenes;
    Scene* mCurrentScene{nullptr};
};

}  // namespace Application::Scene
