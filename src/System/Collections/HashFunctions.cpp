#include "System/Collections/HashFunctions.h"

namespace System::Collections::HashFunctions {

uint32_t StringHash(const String& key) {
    const char* bytes = key.ToByteArray();
    uint32_t hash = 0;
    for (uint32_t i = 0; i < key.Length(); ++i) {
        const auto byte = static_cast<int32_t>(static_cast<int8_t>(bytes[i]));
        hash = hash * 31 + static_cast<uint32_t>(byte);
    }
    return hash;
}

}  // namespace System::Collections::HashFunctions
