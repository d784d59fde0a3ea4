#pragma once

#include "Application/ConfigurationDictionary.h"
#include "Application/Scene/SceneManager.h"
#include "Application/SupportedLocaleModel.h"
#include "System/Collections/Vector.h"
#include "System/Object.h"
#include "System/Singleton.h"
#include "System/Utility/Locale.h"

// The application-wide model: the configuration dictionary and the table of message
// texts. Built by the first Instance() call, before any other thread exists, and
// deleted by Destroy() when the program ends.
class AppModel : public System::Object {
  public:
    // The one model, created on the first call.
    static AppModel* Instance() { return System::Singleton<AppModel>::Instance(); }
    // Deletes the model; a later Instance() builds a new one.
    static void Destroy() { System::Singleton<AppModel>::Destroy(); }

    // Every configuration key and its text; safe to use from any thread.
    Application::ConfigurationDictionary mConfiguration;
    // Message texts by key. Filled once at start-up, before other threads exist, and
    // only read afterwards.
    System::Utility::Locale mLocale;
    // The locales the application offers; the server offers none.
    System::Collections::Vector<SupportedLocaleModel> mSupportedLocales;
    // The application's scenes; the server has none.
    Application::Scene::SceneManager mSceneManager;
};
