#include "System/ComponentModel/ModelProperty.h"

#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::ComponentModel {
namespace {

struct UserLike : INotifyPropertyChanged {
    ModelProperty<int> Status{String("Status"), this};
    ModelProperty<int> Group{String("Group"), this};
};

// Logs both notices in the order they arrive, with what each handler sees.
struct Observer {
    explicit Observer(UserLike* model) : model(model) {}
    UserLike* model;
    std::vector<std::string> log;
    EventManager events;
    void OnChanged(const Property<int>& property) {
        log.push_back("Changed " + std::to_string(property.mValue));
    }
    void OnPropertyChanged(void* sender, const String& name) {
        std::string text(name.ToByteArray(), name.Length());
        log.push_back((sender == model ? "PropertyChanged " : "stranger ") + text + " " +
                      std::to_string(model->Status.mValue));
    }
};

TEST(ModelPropertyTest, AssignmentRaisesChangedThenTheOwnersNoticeWithTheName) {
    UserLike model;
    Observer observer(&model);
    observer.events.Add(model.Status.Changed, &observer, &Observer::OnChanged);
    observer.events.Add(model.PropertyChanged, &observer, &Observer::OnPropertyChanged);
    model.Status = 2;
    model.Status = 2;
    EXPECT_EQ(observer.log, (std::vector<std::string>{"Changed 2", "PropertyChanged Status 2",
                                                      "Changed 2", "PropertyChanged Status 2"}));
}

TEST(ModelPropertyTest, AssigningAnotherModelPropertyTakesItsNameAndValue) {
    UserLike model;
    UserLike other;
    other.Group.mValue = 7;
    Observer observer(&model);
    observer.events.Add(model.PropertyChanged, &observer, &Observer::OnPropertyChanged);
    model.Status = other.Group;
    EXPECT_EQ(model.Status.mValue, 7);
    EXPECT_EQ(model.Status.mOwner, &model);
    EXPECT_EQ(observer.log, std::vector<std::string>{"PropertyChanged Group 7"});
}

}  // namespace
}  // namespace System::ComponentModel
