#include "System/Utility/Zip.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace System::Utility {
namespace {

TEST(ZipThreads, CompressionRunsOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    std::vector<int> roundTrips(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &roundTrips] {
            const std::string data(20000 + t * 1000, static_cast<char>('a' + t));
            const bool gzip = t % 2 == 1;
            for (int i = 0; i < 20; ++i) {
                std::string compressed(data.size() + 512, '\0');
                uint32_t check = 0;
                compressed.resize(Zip::Deflate(
                    compressed.data(), static_cast<unsigned int>(compressed.size()), data.data(),
                    static_cast<unsigned int>(data.size()), 9, check, gzip));
                std::string out(data.size(), '\0');
                out.resize(Zip::Inflate(compressed.data(),
                                        static_cast<unsigned int>(compressed.size()), out.data(),
                                        static_cast<unsigned int>(out.size()), gzip));
                roundTrips[t] += out == data ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(roundTrips, std::vector<int>(kThreads, 20));
}

}  // namespace
}  // namespace System::Utility
