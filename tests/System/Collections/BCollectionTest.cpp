#include "System/Collections/BCollection.h"

#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace System::Collections {
namespace {

using namespace CollectionChangedAction;

// Ordered by id only, as the relay orders its clients; comparisons are counted.
struct Client : Object {
    explicit Client(uint32_t id) : mId(id) {}
    bool operator<(const Client& other) const { return ++sComparisons, mId < other.mId; }
    bool operator>(const Client& other) const { return ++sComparisons, mId > other.mId; }
    uint32_t mId;
    static inline int sComparisons = 0;
};

class FindById : public ICompare<Client*> {
  public:
    explicit FindById(uint32_t id) : mId(id) {}
    int Compare(Client* client) const override {
        ++mCalls;
        return client->mId < mId ? -1 : client->mId > mId ? 1 : 0;
    }
    mutable int mCalls = 0;

  private:
    uint32_t mId;
};

struct Notice {
    void* sender;
    Action action;
    Client* added;
    Client* removed;
    int index;
    uint32_t countSeen;
    bool operator==(const Notice& o) const {
        return sender == o.sender && action == o.action && added == o.added &&
               removed == o.removed && index == o.index && countSeen == o.countSeen;
    }
};

// Records every notice together with the collection's count when it arrived.
struct Recorder {
    explicit Recorder(BCollection<Client*>& collection) : mCollection(collection) {
        events.Add(collection.CollectionChanged, this, &Recorder::OnChanged);
    }
    void OnChanged(void* sender, Action action, Client* added, Client* removed, int index) {
        notices.push_back({sender, action, added, removed, index, mCollection.Count()});
    }
    BCollection<Client*>& mCollection;
    std::vector<Notice> notices;
    EventManager events;
};

std::vector<uint32_t> Ids(const BCollection<Client*>& collection) {
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < collection.Count(); ++i) {
        ids.push_back(collection[i].mId);
    }
    return ids;
}

TEST(BCollectionTest, EveryChangeIsAnnouncedWithItsItemAndPositionAfterItIsMade) {
    Client five(5), one(1), three(3), stranger(8);
    BCollection<Client*> clients;
    Recorder recorder(clients);
    clients.Clear();
    clients.Add(five);
    clients.Add(one);
    clients.Add(three);
    EXPECT_EQ(Ids(clients), (std::vector<uint32_t>{1, 3, 5}));
    // Unknown items, positions past the end and Insert change nothing and say nothing.
    EXPECT_FALSE(clients.Remove(stranger));
    clients.RemoveAt(3);
    clients.Insert(0, stranger);
    EXPECT_TRUE(clients.Remove(three));
    clients.RemoveAt(0);
    clients.Clear();
    EXPECT_EQ(recorder.notices, (std::vector<Notice>{{&clients, Reset, nullptr, nullptr, 0, 0},
                                                     {&clients, Add, &five, nullptr, 0, 1},
                                                     {&clients, Add, &one, nullptr, 0, 2},
                                                     {&clients, Add, &three, nullptr, 1, 3},
                                                     {&clients, Remove, nullptr, &three, 1, 2},
                                                     {&clients, Remove, nullptr, &one, 0, 1},
                                                     {&clients, Reset, nullptr, nullptr, 0, 0}}));
}

TEST(BCollectionTest, ItemGreaterThanTheLastCostsOneComparison) {
    Client a(1), b(2), c(3);
    BCollection<Client*> clients;
    clients.Add(a);
    clients.Add(b);
    Client::sComparisons = 0;
    clients.Add(c);
    EXPECT_EQ(Client::sComparisons, 1);
}

TEST(BCollectionTest, EqualItemLandsInFrontOfTheOneTheBisectionMeets) {
    // Four equal items: the bisection starts with hi at the count, meets index 2.
    std::vector<std::unique_ptr<Client>> same;
    BCollection<Client*> clients;
    for (int i = 0; i < 4; ++i) {
        same.push_back(std::make_unique<Client>(7));
        clients.Add(*same.back());
    }
    Client newcomer(7);
    Recorder recorder(clients);
    clients.Add(newcomer);
    EXPECT_EQ(&clients[2], &newcomer);
    EXPECT_EQ(recorder.notices.back().index, 2);
}

TEST(BCollectionTest, RandomAddsStaySortedAndReportTheirTruePosition) {
    std::mt19937 random(42);
    std::vector<std::unique_ptr<Client>> owned;
    BCollection<Client*> clients;
    Recorder recorder(clients);
    for (int i = 0; i < 300; ++i) {
        owned.push_back(std::make_unique<Client>(random() % 40));
        clients.Add(*owned.back());
        const Notice& notice = recorder.notices.back();
        ASSERT_EQ(&clients[static_cast<uint32_t>(notice.index)], notice.added) << "item " << i;
    }
    const std::vector<uint32_t> ids = Ids(clients);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    for (auto& client : owned) {
        const int32_t index = clients.IndexOf(*client);
        ASSERT_NE(index, -1);
        EXPECT_EQ(clients[static_cast<uint32_t>(index)].mId, client->mId);
    }
}

TEST(BCollectionTest, ReplaceEqualOverwritesTheStoredPointer) {
    Client first(4), second(4), other(9);
    BVector<Client*> vector(true);
    vector.Add(other);
    vector.Add(first);
    vector.Add(second);
    EXPECT_EQ(vector.Count(), 2u);
    EXPECT_EQ(&vector[0], &second);
}

TEST(BCollectionTest, FindBisectsWithTheComparer) {
    BCollection<Client*> clients;
    Client probe(1);
    FindById nothing(1);
    Client::sComparisons = 0;
    EXPECT_EQ(clients.IndexOf(probe), -1);
    EXPECT_EQ(clients.Find(nothing), nullptr);
    EXPECT_EQ(Client::sComparisons + nothing.mCalls, 0);

    std::vector<std::unique_ptr<Client>> owned;
    for (uint32_t id = 1; id <= 64; ++id) {
        owned.push_back(std::make_unique<Client>(id * 2));
        clients.Add(*owned.back());
    }
    FindById present(38);
    EXPECT_EQ(clients.Find(present), owned[18].get());
    EXPECT_LE(present.mCalls, 7);
    FindById absent(39);
    EXPECT_EQ(clients.Find(absent), nullptr);
    FindById beyond(500);
    EXPECT_EQ(clients.Find(beyond), nullptr);
}

TEST(BCollectionTest, VectorRemovesTheEqualItemAndIgnoresInsert) {
    Client a(1), b(2), c(3);
    BVector<Client*> vector;
    vector.Add(c);
    vector.Add(a);
    vector.Add(b);
    vector.Insert(0, Client(9));
    ASSERT_EQ(vector.Count(), 3u);
    const Client equal(2);
    EXPECT_TRUE(vector.Contains(equal));
    EXPECT_TRUE(vector.Remove(equal));
    EXPECT_FALSE(vector.Contains(b));
    EXPECT_FALSE(vector.Remove(b));
    ASSERT_EQ(vector.Count(), 2u);
    EXPECT_EQ(&vector[0], &a);
    EXPECT_EQ(&vector[1], &c);
}

// "Less" always holds and "greater" never: the bisection reaches the count, where the
// item must go without the last pointer being read past.
struct Contrary : Object {
    bool operator<(const Contrary&) const { return true; }
    bool operator>(const Contrary&) const { return false; }
};

TEST(BCollectionTest, InconsistentOrderingAppendsAtTheEnd) {
    Contrary x, y, z;
    BVector<Contrary*> vector;
    vector.Add(x);
    vector.Add(y);
    vector.Add(z);
    ASSERT_EQ(vector.Count(), 3u);
    EXPECT_EQ(&vector[1], &y);
    EXPECT_EQ(&vector[2], &z);
}

}  // namespace
}  // namespace System::Collections
