#include "ZelvoRelay/Threading/StopMark.h"

#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

namespace ZelvoRelay::Threading {

// Outgoing, so that no hold on a client's messages can keep it back.
StopMark::StopMark() : MessageTask(nullptr, 0, 0) {}

void StopMark::Reach() {
    MVC::Model::ZelvoRelayModel::Instance()->HeldUploaders.EndHolds();
    mReached.set_value();
}

}  // namespace ZelvoRelay::Threading
