#include "System/SmartPointer.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace System
