#include "Admin/NetworkModel.h"

NetworkModel::NetworkModel() {
    DownloadRate = 0;
    BytesDownloaded = 0;
    UploadRate = 0;
    BytesUploaded = 0;
    IsRelayServerOnline = false;
    IsPolicyServerOnline = false;
    SwitchboardState = Disconnected;
}
