#include "Admin/SharedProperty.h"

#include "System/EventManager.h"
#include "System/String.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// Counts the notices; runs under the property's lock, so it needs none of its own.
struct Listener {
    void OnChanged(const System::Property<System::String>& property) {
        ++mNotices;
        mLastLength = property.mValue.Length();
    }
    int mNotices{0};
    uint32_t mLastLength{0};
};

// Two writers and a reader at once: every value read is one that was written whole, and
// every assignment is announced once.
TEST(SharedProperty, ThreadsAssignAndReadWholeValuesAndEveryChangeIsAnnounced) {
    SharedProperty<System::String> property("SwitchboardSessionId");
    Listener listener;
    System::EventManager events;
    events.Add(property.Changed, &listener, &Listener::OnChanged);
    constexpr int kRounds = 20000;
    const auto writer = [&property](char letter) {
        for (int i = 0; i < kRounds; ++i) {
            property = std::string(16 + i % 48, letter).c_str();
        }
    };
    bool whole = true;
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    std::thread reader([&property, &whole] {
        for (int i = 0; i < kRounds; ++i) {
            const System::String value = property.Get();
            const std::string text(value.CStr(), value.Length());
            whole = whole && (text.empty() || text.find_first_not_of(text[0]) == std::string::npos);
        }
    });
    a.join();
    b.join();
    reader.join();
    EXPECT_TRUE(whole);
    EXPECT_EQ(listener.mNotices, 2 * kRounds);
    EXPECT_EQ(listener.mLastLength, property.Get().Length());
}

// The switchboard's reply thread assigns the session id while the main thread reads it:
// every value read must be one that was written whole.
TEST(SharedProperty, AReaderOnAnotherThreadSeesOnlyWholeValues) {
    SharedProperty<System::String> property("SwitchboardSessionId");
    constexpr int kRounds = 20000;
    std::thread writer([&property] {
        for (int i = 0; i < kRounds; ++i) {
            property = std::string(16 + i % 48, static_cast<char>('a' + i % 2)).c_str();
        }
    });
    bool whole = true;
    for (int i = 0; i < kRounds; ++i) {
        const System::String value = property.Get();
        const std::string text(value.CStr(), value.Length());
        whole = whole && (text.empty() || text.find_first_not_of(text[0]) == std::string::npos);
    }
    writer.join();
    EXPECT_TRUE(whole);
}

}  // namespace
