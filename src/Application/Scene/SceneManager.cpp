#include "Application/Scene/SceneManager.h"

namespace Application::Scene {

void SceneManager::Add(Scene& scene) {
    scene.SetSceneManager(this);
    mScenes.Add(&scene);
}

void SceneManager::Remove(const System::String& name) {
    if (Scene* scene = FindScene(name)) {
        mScenes.Remove(scene);
    }
}

Scene* SceneManager::FindScene(const System::String& name) const {
    for (uint32_t i = 0; i < mScenes.Count(); ++i) {
        if (mScenes[i]->GetSceneName() == name) {
            return mScenes[i];
        }
    }
    return nullptr;
}

void SceneManager::SetScene(const System::String& name) {
    if (mCurrentScene != nullptr) {
        mCurrentScene->End();
    }
    mCurrentScene = FindScene(name);
    if (mCurrentScene != nullptr) {
        mCurrentScene->Start();
    }
    OnSceneChanged.Raise(name);
}

void SceneManager::Update() {
    if (mCurrentScene != nullptr) {
        mCurrentScene->Update();
    }
}

void SceneManager::Clear() {
    if (mCurrentScene != nullptr) {
        mCurrentScene->End();
    }
    mCurrentScene = nullptr;
    mScenes.Clear();
}

}  // namespace Application::Scene
