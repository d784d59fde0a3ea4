#include "ZelvoRelay/Collections/UnjoinedClients.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ZelvoRelay/Client/RelayClient.h"

using System::Net::IPAddress;
using ZelvoRelay::Client::RelayClient;
using ZelvoRelay::Collections::UnjoinedClients;

namespace {

IPAddress Address(int host) {
    return IPAddress::Parse(("10.0.0." + std::to_string(host)).c_str());
}

}  // namespace

// Clients come and go at random from a few addresses; after each change the index answers as
// a plain list of every client held would: each address's count, and the oldest client of the
// address holding the most, the address that came to hold that many first among those that
// hold as many.
TEST(UnjoinedClients, GivesTheOldestOfTheAddressHoldingTheMostAsAWalkWould) {
    constexpr int kAddresses = 5;
    std::vector<std::unique_ptr<RelayClient>> clients;
    for (int i = 0; i < 400; ++i) {
        clients.push_back(std::make_unique<RelayClient>());
    }
    // What the index should hold: per address its clients, oldest first, and when each
    // address came to hold its count.
    std::map<int, std::deque<RelayClient*>> held;
    std::map<int, uint64_t> reachedAt;
    uint64_t step = 0;
    std::vector<std::pair<RelayClient*, int>> out;
    std::vector<std::pair<RelayClient*, int>> in;
    for (const auto& client : clients) {
        out.emplace_back(client.get(), 0);
    }
    UnjoinedClients index;
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        ++step;
        const bool add = in.empty() || (!out.empty() && random() % 2 == 0);
        auto& from = add ? out : in;
        const size_t pick = random() % from.size();
        auto [client, host] = from[pick];
        from[pick] = from.back();
        from.pop_back();
        if (add) {
            host = static_cast<int>(random() % kAddresses);
            index.Add(client, Address(host));
            held[host].push_back(client);
            in.emplace_back(client, host);
        } else {
            index.Remove(client);
            auto& list = held[host];
            list.erase(std::find(list.begin(), list.end(), client));
            out.emplace_back(client, 0);
        }
        reachedAt[host] = step;

        RelayClient* expected = nullptr;
        size_t most = 0;
        uint64_t first = 0;
        size_t count = 0;
        for (const auto& [address, list] : held) {
            EXPECT_EQ(index.Count(Address(address)), list.size());
            count += list.size();
            if (!list.empty() &&
                (list.size() > most || (list.size() == most && reachedAt[address] < first))) {
                most = list.size();
                first = reachedAt[address];
                expected = list.front();
            }
        }
        ASSERT_EQ(index.Count(), count);
        ASSERT_EQ(index.Oldest(), expected) << round;
    }
    index.Remove(clients[0].get());  // nothing when not held, or taken off once
    index.Clear();
    EXPECT_EQ(index.Oldest(), nullptr);
    EXPECT_EQ(index.Count(Address(0)), 0u);
}
