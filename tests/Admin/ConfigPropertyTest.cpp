#include "Admin/ConfigProperty.h"

#include "Application/AppModel.h"
#include "System/EventManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ConfigPropertyTest, ReadsTheTextAsBoolIntOrDouble) {
    const struct {
        const char* value;  // null: no entry
        bool flag;
        int integer;
        double number;
    } cases[] = {
        {nullptr, false, 0, 0.0}, {"", false, 0, 0.0},       {"TRUE", true, 0, 0.0},
        {"1", false, 1, 1.0},     {"yes", false, 0, 0.0},    {"12abc", false, 12, 12.0},
        {" 7", false, 7, 7.0},    {"-3.5", false, -3, -3.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(no entry)");
        AppModel::Destroy();
        ConfigProperty property("RoomMaxClients");
        if (c.value != nullptr) {
            property = c.value;
        }
        EXPECT_EQ(System::String(property), c.value ? c.value : "");
        EXPECT_EQ(property.ToBool(), c.flag);
        EXPECT_EQ(property.ToInt(), c.integer);
        EXPECT_EQ(property.ToDouble(), c.number);
    }
    AppModel::Destroy();
}

// Records each notice as "key=value read in the handler"; a notice for RoomName
// assigns InternetAddress in turn, which the dictionary's locks must allow.
struct Listener {
    void OnChanged(void* sender, const System::String& key) {
        EXPECT_EQ(sender, &AppModel::Instance()->mConfiguration);
        mNotices.push_back(std::string(key.CStr()) + "=" +
                           System::String(ConfigProperty(key)).CStr());
        if (key == "RoomName") {
            ConfigProperty("InternetAddress") = "10.0.0.1";
        }
    }
    std::vector<std::string> mNotices;
};

TEST(ConfigPropertyTest, EveryAssignmentIsAnnouncedAfterTheValueIsInPlace) {
    Listener listener;
    System::EventManager events;
    events.Add(AppModel::Instance()->mConfiguration.PropertyChanged, &listener,
               &Listener::OnChanged);
    ConfigProperty name("RoomName");
    name = "Den";
    name = "Den";
    ConfigProperty("roomname") = "other";
    EXPECT_EQ(listener.mNotices,
              (std::vector<std::string>{"RoomName=Den", "InternetAddress=10.0.0.1", "RoomName=Den",
                                        "InternetAddress=10.0.0.1", "roomname=other"}));
}

}  // namespace
