#include "Admin/SharedProperty.h"

#include "System/String.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

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
