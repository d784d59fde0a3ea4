#include "System/Net/IPAddressKey.h"

#include <cstring>
#include <functional>
#include <string_view>

namespace System::Net {

IPAddressKey::IPAddressKey(const IPAddress& address) {
    std::memcpy(mBytes.data(), address.GetAddressBytes(), 16);
    mBytes[16] = static_cast<unsigned char>(address.GetAddressFamily());
}

size_t IPAddressKey::Hash::operator()(const IPAddressKey& key) const {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(key.mBytes.data()), key.mBytes.size()));
}

}  // namespace System::Net
