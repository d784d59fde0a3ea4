#include "Admin/Storage/MediaFileCheck.h"

#include "Admin/Log/PrintLogMessage.h"
#include "System/IO/FileStatus.h"
#include "System/String.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

using System::String;

void MediaFileCheck::LogItemsThatCannotBeSent() {
    auto& catalogue = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()->Media;
    uint32_t count = 0;
    String named;
    // Start-up, before the relay hosts: no other thread waits on the catalogue meanwhile.
    System::Threading::MonitorLock lock(catalogue.mMonitor);
    for (auto* node = catalogue.First(); node != nullptr; node = catalogue.Next(node)) {
        const auto& item = node->mValue;
        if (System::IO::FileStatus::HoldsBytes(item.GetResourcePath(0)) &&
            System::IO::FileStatus::HoldsBytes(item.GetResourcePath(1))) {
            continue;
        }
        if (count < kIdsNamed) {
            // Written as the file names and media.xml write it.
            named += String::Parse(count == 0 ? "%d" : ", %d", static_cast<int32_t>(item.mMediaId));
        }
        ++count;
    }
    lock.Unlock();
    if (count == 0) {
        return;
    }
    const String more =
        count > kIdsNamed ? String::Parse(" and %u more", count - kIdsNamed) : String();
    PrintLogMessage(
        String::Parse("%u listed media %s a photo or preview that is missing, empty or not a "
                      "regular file: %s%s; they stay listed, and their downloads are refused "
                      "until the files are restored\n",
                      count, count == 1 ? "item has" : "items have", named.CStr(), more.CStr()));
}
