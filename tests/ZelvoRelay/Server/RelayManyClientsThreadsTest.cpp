#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/RawClient.h"
#include "support/RelayTestServer.h"
#include "support/RelayWire.h"

namespace {

namespace Wire = RelayWire;

constexpr int kClients = 200;
constexpr int kConnectBatch = 8;
// Each client sends this many chats: the first ones right behind its join, racing with
// the others' joins, the rest once it knows that everybody has joined.
constexpr int kChats = 6;
constexpr int kEarlyChats = 3;

// What one client saw; filled by its own thread, read after it has ended.
struct Outcome {
    uint32_t id{0};
    std::vector<std::string> failures;
};

std::string Name(int index) {
    return "u" + std::to_string(index);
}

// One client: joins, chats, and reads until it has every other client's last chat. Chats
// from one sender must come in order without a gap or a repeat, from the first sent after
// this client joined, stamped with the sender's id.
void RunClient(TestSupport::RawClient& client, int index, Outcome& outcome) {
    auto fail = [&outcome](const std::string& failure) { outcome.failures.push_back(failure); };
    client.SendFrame(Wire::Join(Name(index), ""));
    auto chat = [&](int k) {
        client.SendFrame(Wire::ChatText(std::to_string(index) + ":" + std::to_string(k)));
    };
    for (int k = 0; k < kEarlyChats; ++k) {
        chat(k);
    }

    std::map<uint32_t, int> indexOf;       // client id -> index, from named notices
    std::map<int, int> lastChat;           // sender index -> last k received
    std::map<int, uint32_t> chatSenderId;  // sender index -> id stamped on its chats
    bool allJoined = false;
    int complete = 0;  // senders whose last chat has come
    while (complete < kClients - 1) {
        const auto frame = client.NextFrame(std::chrono::seconds(120));
        if (!frame) {
            return fail("connection ended with " + std::to_string(complete) + " complete");
        }
        const Wire::Parsed message = Wire::Parse(*frame);
        if (message.type == Wire::JoinResponse) {
            outcome.id = message.clientId;
        } else if (message.type == Wire::UserJoined && message.payload.size() > 1 &&
                   message.payload[0] != 0) {
            indexOf[message.clientId] =
                std::stoi(message.payload.substr(2, message.payload[0] - 1));
        } else if (message.type == Wire::Chat) {
            int sender = 0;
            int k = 0;
            if (std::sscanf(message.payload.substr(1).c_str(), "%d:%d", &sender, &k) != 2) {
                return fail("bad chat");
            }
            const auto last = lastChat.find(sender);
            if (last == lastChat.end() ? k > kEarlyChats : k != last->second + 1) {
                return fail("chat " + std::to_string(k) + " of " + std::to_string(sender) +
                            " out of order");
            }
            lastChat[sender] = k;
            chatSenderId[sender] = message.clientId;
            complete += k == kChats - 1 ? 1 : 0;
        }
        if (!allJoined && outcome.id != 0 && indexOf.size() == kClients - 1) {
            allJoined = true;
            for (int k = kEarlyChats; k < kChats; ++k) {
                chat(k);
            }
        }
    }
    for (const auto& [sender, id] : chatSenderId) {
        const auto known = indexOf.find(id);
        if (known == indexOf.end() || known->second != sender) {
            fail("chat of " + std::to_string(sender) + " stamped with a wrong id");
        }
    }
    if (!allJoined) {
        fail("incomplete");
    }
}

TEST(RelayManyClientsTest, EveryChatReachesEveryOtherMemberOnceInItsSendersOrder) {
    TestSupport::RelayTestServer server;
    server.Room().MaxClients = 1000;
    ASSERT_TRUE(server.Start());

    // The connections are opened a few at a time, each batch answered before the next:
    // the listener's backlog of ten would drop a burst of two hundred handshakes.
    std::vector<std::unique_ptr<TestSupport::RawClient>> clients;
    for (int i = 0; i < kClients; i += kConnectBatch) {
        for (int j = i; j < std::min(i + kConnectBatch, kClients); ++j) {
            clients.push_back(std::make_unique<TestSupport::RawClient>(server.Port()));
            ASSERT_TRUE(clients.back()->Connected());
            clients.back()->SendFrame(Wire::Message(Wire::UserStatus, 0, Wire::U8(0)));
        }
        for (int j = i; j < std::min(i + kConnectBatch, kClients); ++j) {
            TestSupport::ExpectNext(*clients[j], Wire::Message(Wire::Error, 0, Wire::U8(1)));
        }
    }
    std::vector<Outcome> outcomes(kClients);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back(RunClient, std::ref(*clients[i]), i, std::ref(outcomes[i]));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<uint32_t> ids;
    for (int i = 0; i < kClients; ++i) {
        for (const std::string& failure : outcomes[i].failures) {
            ADD_FAILURE() << Name(i) << ": " << failure;
        }
        ids.insert(outcomes[i].id);
    }
    EXPECT_EQ(ids.size(), static_cast<size_t>(kClients));
}

}  // namespace
