#include "System/Net/IPEndPoint.h"

#include "System/Net/Socket.h"

namespace System::Net {

IPEndPoint::IPEndPoint() : mAddress(IPAddress::None()) {}

IPEndPoint::IPEndPoint(const IPAddress& address, uint16_t port) : mAddress(address), mPort(port) {}

IPEndPoint::IPEndPoint(uint32_t word, uint16_t port) : mAddress(word), mPort(port) {}

IPEndPoint::IPEndPoint(const String& host, uint16_t port) : mPort(port) {
    if (host.Length() == 0) {
        mAddress = IPAddress::Any();
        return;
    }
    // The resolver may list an IPv6 answer first; an IPv4 socket cannot connect to it.
    Collections::Vector<IPAddress> found = Socket::DnsLookup(host, IPAddress::kIPv4);
    if (found.Count() == 0) {
        found = Socket::DnsLookup(host);
    }
    mAddress = found.Count() > 0 ? found[0].SwapEndian() : IPAddress::None();
}

IPEndPoint IPEndPoint::SwapEndian() const {
    return IPEndPoint(mAddress.SwapEndian(), static_cast<uint16_t>(mPort << 8 | mPort >> 8));
}

}  // namespace System::Net
