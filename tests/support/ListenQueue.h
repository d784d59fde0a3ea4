#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace TestSupport {

// What the kernel holds for a TCP socket that listens: the connections whose handshake
// completed and that wait to be accepted, and the handshakes it dropped because that
// queue was full. Read from the kernel's socket table, so it shows what a process that
// is stopped, or that does not accept, leaves waiting.
struct ListenQueue {
    uint32_t waiting{0};  // completed connections not yet accepted
    uint32_t dropped{0};  // connects turned away since the socket began to listen
};

// The queue of the IPv4 socket that listens on port (host order), or nothing when no
// socket listens there.
std::optional<ListenQueue> ReadListenQueue(uint16_t port);

// For each connection to the IPv4 socket listening on port (host order), by the peer's end
// point ("127.0.0.2:40000", as RawClient::LocalEndPoint gives it): the bytes the kernel has
// received for the accepting process and that it has not read yet. A connection not yet accepted
// counts too; one closed, reset or no longer established does not. Empty when the kernel's table
// cannot be read.
std::map<std::string, uint32_t> UnreadBytes(uint16_t port);

}  // namespace TestSupport
