#pragma once

#include "Admin/ConfigProperty.h"

// The server's configuration keys, in the order of the attributes of "config.xml".
// There are no default values: a key missing from the file reads as "", 0 or false.
class AdminConfigurationModel {
  public:
    AdminConfigurationModel() = default;

    ConfigProperty RelayServerPort{"RelayServerPort"};  // int, low 16 bits used
    ConfigProperty RoomName{"RoomName"};                // text
    ConfigProperty RoomSummary{"RoomSummary"};          // text
    ConfigProperty RoomMaxClients{"RoomMaxClients"};    // int
    ConfigProperty RoomIsPublic{"RoomIsPublic"};        // bool: listed by the switchboard
    ConfigProperty AudioCompressionQuality{"AudioCompressionQuality"};  // int
    ConfigProperty MediaPath{"MediaPath"};                      // text: prefix of media files
    ConfigProperty MaxMediaSize{"MaxMediaSize"};                // int: bytes
    ConfigProperty MediaPreviewWidth{"MediaPreviewWidth"};      // int: pixels
    ConfigProperty MediaPreviewHeight{"MediaPreviewHeight"};    // int: pixels
    ConfigProperty IpDiscoveryUrl{"IpDiscoveryUrl"};            // text
    ConfigProperty SwitchboardUrl{"SwitchboardUrl"};            // text: base of the web API
    ConfigProperty InternetAddress{"InternetAddress"};          // text; run-time only, never saved
    ConfigProperty SwitchboardUsername{"SwitchboardUsername"};  // text
    ConfigProperty SwitchboardPassword{"SwitchboardPassword"};  // text, plain; saved encrypted
    ConfigProperty SwitchboardAutoLogin{"SwitchboardAutoLogin"};  // bool
};
