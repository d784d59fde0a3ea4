#include "Application/Scene/Scene.h"

#include "Application/Scene/SceneManager.h"

namespace Application::Scene {

void Scene::SetScene(const System::String& name) {
    if (mManager != nullptr) {
        mManager->SetScene(name);
    }
}

}  // namespace Application::Scene
