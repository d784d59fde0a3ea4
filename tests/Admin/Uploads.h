#pragma once

#include "Admin/RoomFixture.h"
#include "support/Process.h"
#include "support/RawClient.h"
#include "support/RelayWire.h"
#include "support/ServerProcess.h"
#include "support/Text.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

// Photos made for the end-to-end tests and their upload to the server binary.
namespace AdminTest {

// PNG photos made by PIL, one for each of the sizes given as python tuples: of one colour
// (few bytes, and slow to decode when large), or of noise (bytes that do not compress).
inline std::vector<std::string> Pngs(const std::string& sizes, bool noise = false) {
    std::vector<std::string> photos;
    for (const std::string& hex : TestSupport::PythonLines(
             "import io, os; from PIL import Image\n"
             "for w, h in [" +
             sizes +
             "]:\n"
             "    b = io.BytesIO()\n"
             "    (Image.frombytes('RGB', (w, h), os.urandom(w * h * 3)) if " +
             (noise ? "True" : "False") +
             " else Image.new('RGB', (w, h), (w % 256, h % 256, 90))).save(b, 'PNG')\n"
             "    print(b.getvalue().hex())\n")) {
        photos.push_back(TestSupport::FromHex(hex));
    }
    return photos;
}

// Announces the upload of photo; the media id the server draws for it.
inline uint32_t AddMedia(TestSupport::RawClient& member, const std::string& title,
                         const std::string& photo) {
    member.SendFrame(RelayWire::AddMediaRequest(1, 1, static_cast<uint32_t>(photo.size()), title));
    const auto answer = FramesUntil(member, RelayWire::AddMediaAnswer);
    const std::string payload = answer.empty() ? "" : RelayWire::Parse(answer.back()).payload;
    EXPECT_EQ(payload.substr(0, 2), RelayWire::U8(1) + RelayWire::U8(0)) << title;
    return payload.size() == 6 ? RelayWire::ReadU32(payload, 2) : 0xFFFFFFFF;
}

// Sends photo as the chunks of the upload id, of chunk bytes each.
inline void SendChunks(TestSupport::RawClient& member, uint32_t id, const std::string& photo,
                       size_t chunk = 1000) {
    for (size_t at = 0; at < photo.size(); at += chunk) {
        member.SendFrame(
            RelayWire::Chunk(id, 0, static_cast<uint32_t>(at), photo.substr(at, chunk)));
    }
}

// Waits until the photo of upload id is being made: the server then has it open twice, for
// the upload and for its decoding.
inline bool BeingMade(const TestSupport::ServerProcess& server, const Room& room, uint32_t id) {
    const std::string file = room.File("media/" + std::to_string(id) + "_0");
    return TestSupport::WaitUntil([&] {
        std::error_code error;
        const std::string path = std::filesystem::canonical(file, error);
        return !error && TestSupport::DescriptorsOpenOn(server.Pid(), path) == 2;
    });
}

// Alice joins and uploads photos[1], in chunks of chunk bytes, behind photos[0] being made.
inline std::pair<uint32_t, uint32_t> TwoUploads(const TestSupport::ServerProcess& server,
                                                const Room& room, TestSupport::RawClient& alice,
                                                const std::vector<std::string>& photos,
                                                size_t chunk) {
    EXPECT_EQ(Join(alice, "Alice", ""), 0);
    const uint32_t first = AddMedia(alice, "first", photos[0]);
    const uint32_t second = AddMedia(alice, "second", photos[1]);
    SendChunks(alice, first, photos[0]);
    EXPECT_TRUE(BeingMade(server, room, first));
    SendChunks(alice, second, photos[1], chunk);
    return {first, second};
}

}  // namespace AdminTest
