#include "System/IO/DescriptorRoom.h"

#include <atomic>

namespace System::IO {

namespace {

// Constant-initialised, so usable whatever order static constructors run in.
std::atomic<DescriptorRoom::Closer> gCloser{nullptr};
std::atomic<DescriptorRoom::Listener*> gListener{nullptr};

}  // namespace

void DescriptorRoom::SetCloser(Closer closer) {
    gCloser.store(closer);
}

void DescriptorRoom::SetListener(Listener* listener) {
    gListener.store(listener);
}

bool DescriptorRoom::Make(Use use) {
    const Closer closer = gCloser.load();
    const bool closed = closer != nullptr && closer();
    if (Listener* listener = gListener.load()) {
        listener->OnDescriptorRoom(use, closed);
    }
    return closed;
}

}  // namespace System::IO
