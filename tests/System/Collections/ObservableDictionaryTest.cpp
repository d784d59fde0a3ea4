#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "System/Collections/ObservableDictionary.h"
#include "System/EventManager.h"

namespace {

using System::EventManager;
using System::String;
using System::Collections::ObservableDictionary;

std::string Text(const String& text) {
    return text.Length() == 0 ? std::string() : std::string(text.ToByteArray(), text.Length());
}

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
}

TEST(ObservableDictionaryTest, KeysAreCaseSensitiveAndMayBeEmpty) {
    ObservableDictionary<String> dictionary;
    EXPECT_EQ(Text(dictionary.Get(String("missing"))), "");
    dictionary.Set(String("Key"), String("upper"));
    dictionary.Set(String("key"), String("lower"));
    dictionary.Set(String(""), String("empty"));
    EXPECT_EQ(Text(dictionary.Get(String("Key"))), "upper");
    EXPECT_EQ(Text(dictionary.Get(String("key"))), "lower");
    EXPECT_EQ(Text(dictionary.Get(String(""))), "empty");
    EXPECT_EQ(Text(dictionary.Get(String("KEY"))), "");
}

}  // namespace
