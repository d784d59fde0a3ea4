#include "System/Singleton.h"

#include <gtest/gtest.h>

namespace System {
namespace {

class Model : public Object {
  public:
    Model() { ++sConstructed; }
    ~Model() override { ++sDestroyed; }
    static inline int sConstructed{0};
    static inline int sDestroyed{0};
};

TEST(Singleton, InstanceIsBuiltOnceOnFirstUse) {
    Model* first = Singleton<Model>::Instance();
    EXPECT_EQ(Model::sConstructed, 1);
    EXPECT_EQ(Singleton<Model>::Instance(), first);
    EXPECT_EQ(Model::sConstructed, 1);
}

TEST(Singleton, DestroyDeletesAndALaterInstanceBuildsAnew) {
    Singleton<Model>::Instance();
    const int constructed = Model::sConstructed;
    Singleton<Model>::Destroy();
    EXPECT_EQ(Model::sDestroyed, 1);
    Singleton<Model>::Destroy();
    EXPECT_EQ(Model::sDestroyed, 1);
    Singleton<Model>::Instance();
    EXPECT_EQ(Model::sConstructed, constructed + 1);
    Singleton<Model>::Destroy();
}

}  // namespace
}  // namespace System
