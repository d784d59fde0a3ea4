#include "support/ListenQueue.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace TestSupport {

namespace {

// A netlink socket of the socket-diagnostics family, closed when the object goes.
class DiagSocket {
  public:
    DiagSocket() : mDescriptor(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG)) {}
    ~DiagSocket() {
        if (mDescriptor >= 0) {
            close(mDescriptor);
        }
    }
    DiagSocket(const DiagSocket&) = delete;
    DiagSocket& operator=(const DiagSocket&) = delete;

    int Descriptor() const { return mDescriptor; }

  private:
    int mDescriptor;
};

// Asks for every IPv4 TCP socket in one of states (a mask of 1 << TCP_...), with its memory
// figures, which hold a listening socket's drops.
bool SendDump(int descriptor, uint32_t states) {
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = AF_INET;
    message.request.sdiag_protocol = IPPROTO_TCP;
    message.request.idiag_states = states;
    message.request.idiag_ext = 1u << (INET_DIAG_SKMEMINFO - 1);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(descriptor, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
                  sizeof kernel) == static_cast<ssize_t>(sizeof message);
}

// Calls take with each IPv4 TCP socket in one of states and the length of its answer; false
// when the kernel's table could not be read.
template <class Take>
bool ForEachSocket(uint32_t states, Take take) {
    const DiagSocket diag;
    if (diag.Descriptor() < 0 || !SendDump(diag.Descriptor(), states)) {
        return false;
    }
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t received = recv(diag.Descriptor(), buffer, sizeof buffer, 0);
        if (received <= 0) {
            return false;
        }
        int length = static_cast<int>(received);
        for (auto* answer = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(answer, length);
             answer = NLMSG_NEXT(answer, length)) {
            if (answer->nlmsg_type == NLMSG_DONE) {
                return true;
            }
            const auto* socketInfo = static_cast<const inet_diag_msg*>(NLMSG_DATA(answer));
            if (answer->nlmsg_type == NLMSG_ERROR ||
                answer->nlmsg_len < NLMSG_LENGTH(sizeof *socketInfo)) {
                return false;
            }
            take(*socketInfo, answer->nlmsg_len);
        }
    }
}

// The queue described by one answer of nlmsgLength bytes, a listening socket.
ListenQueue FromAnswer(const inet_diag_msg& socketInfo, uint32_t nlmsgLength) {
    // For a listening socket the receive queue is the number of connections waiting.
    ListenQueue queue;
    queue.waiting = socketInfo.idiag_rqueue;
    int length = static_cast<int>(nlmsgLength - NLMSG_LENGTH(sizeof socketInfo));
    for (auto* attribute = reinterpret_cast<const rtattr*>(&socketInfo + 1);
         RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == INET_DIAG_SKMEMINFO &&
            RTA_PAYLOAD(attribute) >= (SK_MEMINFO_DROPS + 1) * sizeof(uint32_t)) {
            uint32_t figures[SK_MEMINFO_DROPS + 1];
            std::memcpy(figures, RTA_DATA(attribute), sizeof figures);
            queue.dropped = figures[SK_MEMINFO_DROPS];
        }
    }
    return queue;
}

}  // namespace

std::optional<ListenQueue> ReadListenQueue(uint16_t port) {
    std::optional<ListenQueue> found;
    const bool read =
        ForEachSocket(1u << TCP_LISTEN, [&](const inet_diag_msg& socketInfo, uint32_t length) {
            if (!found && socketInfo.idiag_state == TCP_LISTEN &&
                ntohs(socketInfo.id.idiag_sport) == port) {
                found = FromAnswer(socketInfo, length);
            }
        });
    return read ? found : std::nullopt;
}

std::map<std::string, uint32_t> UnreadBytes(uint16_t port) {
    std::map<std::string, uint32_t> unread;
    ForEachSocket(1u << TCP_ESTABLISHED, [&](const inet_diag_msg& socketInfo, uint32_t) {
        char address[INET_ADDRSTRLEN] = "";
        if (ntohs(socketInfo.id.idiag_sport) == port &&
            inet_ntop(AF_INET, socketInfo.id.idiag_dst, address, sizeof address) != nullptr) {
            unread[std::string(address) + ":" + std::to_string(ntohs(socketInfo.id.idiag_dport))] =
                socketInfo.idiag_rqueue;
        }
    });
    return unread;
}

}  // namespace TestSupport
