#include "System/SmartPointer.h"

#include <gtest/gtest.h>

#include <vector>

namespace System {
namespace {

// Counts how often it is destroyed.
class Tracked : public Object {
  public:
    ~Tracked() override { ++sDestroyed; }
    int mValue{0};
    static inline int sDestroyed{0};
};

// Holds a smart pointer to another object, so that releasing one frees the chain.
class Link : public Object {
  public:
    SmartPointer<Link> mNext;
};

class SmartPointerTest : public ::testing::Test {
  protected:
    void SetUp() override { Tracked::sDestroyed = 0; }
};

TEST_F(SmartPointerTest, LastOfThreeCopiesDeletesOnce) {
    for (const std::vector<int>& order : {std::vector<int>{0, 1, 2}, {2, 1, 0}, {1, 2, 0}}) {
        std::vector<SmartPointer<Tracked>*> copies(3);
        copies[0] = new SmartPointer<Tracked>(new Tracked());
        copies[1] = new SmartPointer<Tracked>(*copies[0]);
        copies[2] = new SmartPointer<Tracked>(*copies[1]);
        EXPECT_EQ(copies[0]->ReferenceCount(), 3);
        const int destroyedBefore = Tracked::sDestroyed;
        for (size_t i = 0; i < order.size(); ++i) {
            delete copies[order[i]];
            EXPECT_EQ(Tracked::sDestroyed - destroyedBefore, i + 1 == order.size() ? 1 : 0);
        }
    }
}

TEST_F(SmartPointerTest, AssignmentReleasesTheOldObjectAndSharesTheNew) {
    SmartPointer<Tracked> a(new Tracked());
    SmartPointer<Tracked> b(a);
    a = b;
    EXPECT_EQ(a.ReferenceCount(), 2);
    EXPECT_EQ(Tracked::sDestroyed, 0);
    SmartPointer<Tracked> empty;
    a = empty;
    b = empty;
    EXPECT_EQ(Tracked::sDestroyed, 1);
    EXPECT_EQ(b.Get(), nullptr);
    EXPECT_EQ(b.ReferenceCount(), 0);

    SmartPointer<Tracked> source(new Tracked());
    SmartPointer<Tracked> target(std::move(source));
    EXPECT_EQ(source.Get(), nullptr);
    EXPECT_EQ(target.ReferenceCount(), 1);
}

TEST_F(SmartPointerTest, SelfAssignmentKeepsTheObjectAlive) {
    SmartPointer<Tracked> owner(new Tracked());
    SmartPointer<Tracked>& alias = owner;
    owner = alias;
    EXPECT_EQ(Tracked::sDestroyed, 0);
    EXPECT_EQ(owner.ReferenceCount(), 1);
    owner->mValue = 7;
    EXPECT_EQ((*owner).mValue, 7);
    owner = std::move(alias);
    EXPECT_EQ(Tracked::sDestroyed, 0);
    EXPECT_EQ(owner.ReferenceCount(), 1);
}

TEST_F(SmartPointerTest, AssigningFromAPointerTheOldObjectHoldsIsSafe) {
    SmartPointer<Link> head(new Link());
    head->mNext = SmartPointer<Link>(new Link());
    Link* second = head->mNext.Get();
    // The source lives inside the object the assignment releases.
    head = head->mNext;
    EXPECT_EQ(head.Get(), second);
    EXPECT_EQ(head.ReferenceCount(), 1);
}

TEST_F(SmartPointerTest, ReservedSharesKeepTheObjectUntilTheLastReservedCopyGoes) {
    SmartPointer<Tracked> original(new Tracked());
    original.ReserveShares(2);
    EXPECT_EQ(original.ReferenceCount(), 3);
    auto* first = new SmartPointer<Tracked>(original.TakeReserved());
    SmartPointer<Tracked> second = original.TakeReserved();
    EXPECT_EQ(first->Get(), original.Get());
    EXPECT_EQ(second.Get(), original.Get());
    EXPECT_EQ(original.ReferenceCount(), 3);
    original = SmartPointer<Tracked>();
    delete first;
    EXPECT_EQ(Tracked::sDestroyed, 0);
    second = SmartPointer<Tracked>();
    EXPECT_EQ(Tracked::sDestroyed, 1);
    SmartPointer<Tracked> empty;
    empty.ReserveShares(3);
    EXPECT_EQ(empty.ReferenceCount(), 0);
}

}  // namespace
}  // namespace System
