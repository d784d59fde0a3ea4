#pragma once

#include "Admin/SharedProperty.h"
#include "System/DateTime.h"
#include "System/String.h"

#include <atomic>
#include <cstdint>

// The state of the server's network side that the console log reports: the switchboard
// session, whether the two servers are listening, and the relay's traffic. The switchboard
// commands and the observer assign the properties directly; every assignment raises the
// property's Changed event on the assigning thread.
class NetworkModel {
  public:
    // The switchboard session.
    enum ConnectionState : int32_t {
        Connecting = 0,     // a login request is under way
        Connected = 1,      // logged in
        Disconnecting = 2,  // a logout request is under way
        Disconnected = 3,   // not logged in: at first, after a failed login, after logout
    };

    // Names the properties, then gives the traffic figures, the online flags and the
    // switchboard state their first values, in that order, through the properties.
    NetworkModel();
    NetworkModel(const NetworkModel&) = delete;
    NetworkModel& operator=(const NetworkModel&) = delete;

    SharedProperty<System::String> LocalIP{"LocalIP"};
    SharedProperty<System::String> InternetIP{"InternetIP"};
    SharedProperty<ConnectionState> SwitchboardState;
    // Message keys of the last refused login and update; empty when there was none.
    SharedProperty<System::String> SwitchboardLoginError{"SwitchboardLoginError"};
    SharedProperty<System::String> SwitchboardUpdateError{"SwitchboardUpdateError"};
    SharedProperty<System::String> SwitchboardSessionId{"SwitchboardSessionId"};
    // When the switchboard last accepted a login or an update.
    SharedProperty<System::DateTime> SwitchboardLastUpdate{"SwitchboardLastUpdate"};
    SharedProperty<bool> IsRelayServerOnline{"IsRelayServerOnline"};
    SharedProperty<bool> IsPolicyServerOnline{"IsPolicyServerOnline"};
    // Bytes the relay received and sent: during the last second, and in all.
    SharedProperty<uint64_t> DownloadRate{"DownloadRate"};
    SharedProperty<uint64_t> BytesDownloaded{"BytesDownloaded"};
    SharedProperty<uint64_t> UploadRate{"UploadRate"};
    SharedProperty<uint64_t> BytesUploaded{"BytesUploaded"};

    // Every byte count the relay clients' connections report, grown on the client worker
    // and read by the main thread once a second.
    std::atomic<uint64_t> mBytesSent{0};
    std::atomic<uint64_t> mBytesReceived{0};
};
