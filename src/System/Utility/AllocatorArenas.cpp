#include "System/Utility/AllocatorArenas.h"

#include <malloc.h>

namespace System::Utility {

void AllocatorArenas::Bound() {
    mallopt(M_ARENA_MAX, kMost);
}

}  // namespace System::Utility
