#include "System/Collections/ObservableDictionary.h"

#include "System/EventManager.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace System::Collections {
namespace {

using TestSupport::Text;

// Logs each notice as "key=value seen by Get" and checks the sender.
struct Watcher {
    explicit Watcher(ObservableDictionary<String>& dictionary) : mDictionary(dictionary) {
        events.Add(dictionary.PropertyChanged, this, &Watcher::OnChanged);
    }
    void OnChanged(void* sender, const String& key) {
        log.push_back((sender == &mDictionary ? "" : "stranger ") + Text(key) + "=" +
                      Text(mDictionary.Get(key)));
    }
    ObservableDictionary<String>& mDictionary;
    std::vector<std::string> log;
    EventManager events;
};

TEST(ObservableDictionaryTest, EveryStoreIsAnnouncedAfterTheValueIsInPlace) {
    ObservableDictionary<String> dictionary;
    Watcher watcher(dictionary);
    dictionary.Set(String("RoomName"), String("Lobby"));
    dictionary.Set(String("RoomName"), String("Lobby"));
    dictionary.Set(String("RoomName"), String("Hall"));
    EXPECT_EQ(watcher.log,
              (std::vector<std::string>{"RoomName=Lobby", "RoomName=Lobby", "RoomName=Hall"}));
    EXPECT_EQ(dictionary.mHash.Find(String("RoomName"))->mValue, String("Hall"));
    EXPECT_EQ(Text(dictionary.Get(String("roomname"))), "");
}

}  // namespace
}  // namespace System::Collections
