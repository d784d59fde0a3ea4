#include "ZelvoRelay/Collections/HeldFile.h"

#include <cassert>
#include <utility>

#include "ZelvoRelay/Collections/TransferFiles.h"

namespace ZelvoRelay::Collections {

HeldFile::~HeldFile() {
    mFile.reset();
    TransferFiles::Give();
}

std::unique_ptr<HeldFile> HeldFile::Take() {
    return TransferFiles::Take() ? std::unique_ptr<HeldFile>(new HeldFile()) : nullptr;
}

void HeldFile::Keep(std::unique_ptr<System::IO::Stream> file) {
    assert(mFile == nullptr);
    mFile = std::move(file);
}

}  // namespace ZelvoRelay::Collections
