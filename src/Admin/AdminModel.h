#pragma once

#include "Admin/AdminConfigurationModel.h"
#include "Admin/Log/RelayObserver.h"
#include "Admin/NetworkModel.h"
#include "Admin/SharedProperty.h"
#include "Admin/Storage/DeletionList.h"
#include "Silverlight/SilverlightPolicyServer.h"
#include "System/Singleton.h"
#include "System/String.h"

#include <atomic>
#include <cstdint>
#include <memory>

// The administration's state: the configuration keys, the policy server, the network and
// switchboard status, the console observer and the relay's uptime. Created by the first
// Instance() call, on the main thread before any other thread exists, and deleted by
// Destroy() once both servers have stopped. The members are reached directly.
class AdminModel {
  public:
    static AdminModel* Instance() { return System::Singleton<AdminModel>::Instance(); }
    static void Destroy() { System::Singleton<AdminModel>::Destroy(); }

    AdminModel() = default;
    // Deletes the observer first, so that no handler of it runs on a half-destroyed model.
    ~AdminModel();
    AdminModel(const AdminModel&) = delete;
    AdminModel& operator=(const AdminModel&) = delete;

    // "Beta 1".
    static const System::String& Version();
    // What --version prints: "ZELVO Admin " and the version, then a line feed.
    static const System::String& VersionText();

    AdminConfigurationModel mConfig;
    // The socket-policy service on port 943, hosted at start-up.
    Silverlight::SilverlightPolicyServer mPolicyServer;
    NetworkModel mNetwork;
    // The console observer; made by start-up, once the models it watches exist.
    std::unique_ptr<RelayObserver> mObserver;
    // DateTime::GetTime when the relay server began hosting; 0 before.
    std::atomic<int64_t> mRelayStartTime{0};
    // Seconds since the relay server began hosting, refreshed by the traffic tick.
    SharedProperty<int64_t> mUptime;
    // Whether the last save left a file as it was. Main thread only: every save runs there.
    bool mSaveFailed{false};
    // The files of removed photos waiting for deletion, named on the disk. Main thread only.
    DeletionList mDeletionList;
};
