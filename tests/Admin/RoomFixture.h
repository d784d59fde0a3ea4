#pragma once

#include "support/Process.h"
#include "support/RawClient.h"
#include "support/RawSocket.h"
#include "support/RelayWire.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/Text.h"
#include "support/Wait.h"

#include <openssl/sha.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

// A working directory for the server binary, on a free port, and the oracles the
// end-to-end tests check the server against: passwords are encrypted and decrypted with
// the openssl tool, digests made with libcrypto, never with the server's own classes.
namespace AdminTest {

inline const std::string kServer = ZELVO_SERVER;
inline const char* const kKey = "5e1f0a9c3b7d2e48a6c1f09b7d3e5a21";
inline const char* const kIv = "c47a09e2b15d836f0a92e4c7b38d165f";
inline const std::string kSalt = "k3#Pq_vowrn";

// What the server stores for a password: Base64 of AES-128-CBC over salt + password.
inline std::string Encrypt(const std::string& password) {
    auto result = TestSupport::RunProcess(
        {"openssl", "enc", "-aes-128-cbc", "-K", kKey, "-iv", kIv, "-a", "-A"}, kSalt + password);
    return result.output.substr(0, result.output.find('\n'));
}

// The password a stored value holds; the salt is checked, not just cut off.
inline std::string Decrypt(const std::string& stored) {
    auto result = TestSupport::RunProcess(
        {"openssl", "enc", "-d", "-aes-128-cbc", "-K", kKey, "-iv", kIv, "-a", "-A"},
        stored + "\n");
    if (result.exitCode != 0 || result.output.compare(0, kSalt.size(), kSalt) != 0) {
        return "<not a stored password: " + stored + ">";
    }
    return result.output.substr(kSalt.size());
}

inline std::string Sha256(const std::string& text) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

// A join with the digest of password, or without a password when it is empty.
inline std::string JoinRequest(const std::string& name, const std::string& password) {
    return RelayWire::Join(name, password.empty() ? std::string() : Sha256(password));
}

// Frames up to and including the first of the given type; empty when none came.
inline std::vector<std::string> FramesUntil(TestSupport::RawClient& client, uint8_t type) {
    std::vector<std::string> frames;
    while (auto frame = client.NextFrame()) {
        frames.push_back(*frame);
        if (!frame->empty() && static_cast<uint8_t>((*frame)[0]) == type) {
            return frames;
        }
    }
    return {};
}

// The error id of the JoinRoomResponse to a join; -1 when none came.
inline int Join(TestSupport::RawClient& client, const std::string& name,
                const std::string& password) {
    client.SendFrame(JoinRequest(name, password));
    auto frames = FramesUntil(client, RelayWire::JoinResponse);
    if (frames.empty() || frames.back().size() < 6) {
        return -1;
    }
    return static_cast<uint8_t>(frames.back()[5]);
}

// The bytes of resource 0 of item id as a client downloads them, for a file that fits in one
// chunk; "<refused>" when the download is not accepted.
inline std::string Download(TestSupport::RawClient& client, uint32_t id) {
    client.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, id, 0));
    const auto frames = FramesUntil(client, RelayWire::GetMediaAnswer);
    const RelayWire::Parsed answer = RelayWire::Parse(frames.empty() ? "" : frames.back());
    if (answer.payload != RelayWire::U8(0) + RelayWire::U32(id) + RelayWire::U8(0)) {
        return "<refused>";
    }
    const RelayWire::Parsed chunk = RelayWire::Parse(client.NextFrame().value_or(""));
    EXPECT_EQ(chunk.type, RelayWire::MediaChunk);
    EXPECT_EQ(chunk.payload.substr(0, 9),
              RelayWire::U32(id) + RelayWire::U8(0) + RelayWire::U32(0));
    return chunk.payload.size() < 11 ? "<no chunk>" : chunk.payload.substr(11);
}

// The text of a console line without its "yyyy-MM-dd hh:mm:ss: " stamp; the line itself
// when it has no such stamp.
inline std::string LogText(const std::string& line) {
    static const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: )");
    std::smatch match;
    return std::regex_search(line, match, stamp) ? line.substr(match.length()) : line;
}

// Whether some console line's text is exactly text, waiting for it.
inline bool Logs(TestSupport::ServerProcess& server, const std::string& text) {
    for (size_t from = 0;;) {
        const int index = server.WaitForLine(text, from);
        if (index < 0) {
            return false;
        }
        if (LogText(server.Lines()[static_cast<size_t>(index)]) == text) {
            return true;
        }
        from = static_cast<size_t>(index) + 1;
    }
}

// Waits until start-up has ended, which the policy server's hosting line closes (it is
// written whether hosting succeeds or fails). Under ThreadSanitizer a stop signal that
// comes while start-up is still creating the servers' threads can be lost, and the server
// then never stops; a test that signals the server waits for this first.
inline void WaitForStartUp(TestSupport::ServerProcess& server) {
    server.WaitForLine("Policy server hosting on port ");
}

// The room's texts, written into "config.xml" as they stand (escaped already).
struct Settings {
    std::string roomName{"Test Room"};
    std::string roomSummary{"A test"};
};

// "config.xml" as the server writes it.
inline std::string ConfigXml(uint16_t port, const Settings& settings,
                             const std::string& privileges) {
    return "<config RelayServerPort=\"" + std::to_string(port) + "\" RoomName=\"" +
           settings.roomName + "\" RoomSummary=\"" + settings.roomSummary +
           "\" RoomMaxClients=\"20\" RoomIsPublic=\"false\" AudioCompressionQuality=\"8\" "
           "MediaPath=\"media/\" MaxMediaSize=\"4194304\" MediaPreviewWidth=\"160\" "
           "MediaPreviewHeight=\"120\" IpDiscoveryUrl=\"\" SwitchboardUrl=\"\" "
           "SwitchboardUsername=\"\" SwitchboardPassword=\"\" SwitchboardAutoLogin=\"false\">\n"
           "\t<privileges>\n" +
           privileges + "\t</privileges>\n</config>";
}

// The "privileges" lines for the given passwords (empty: none) and the default rights.
inline std::string Privileges(const std::string& admin, const std::string& moderator,
                              const std::string& user) {
    const auto stored = [](const std::string& password) {
        return password.empty() ? std::string() : Encrypt(password);
    };
    return "\t\t<admin isEnabled=\"true\" password=\"" + stored(admin) + "\" />\n" +
           "\t\t<moderator isEnabled=\"true\" password=\"" + stored(moderator) +
           "\" voice=\"true\" chat=\"true\" viewPhotos=\"true\" postPhotos=\"true\" "
           "deletePhotos=\"true\" />\n" +
           "\t\t<user isEnabled=\"true\" password=\"" + stored(user) +
           "\" voice=\"true\" chat=\"true\" viewPhotos=\"true\" postPhotos=\"true\" "
           "deletePhotos=\"false\" />\n";
}

// A fresh working directory and a free port for one server.
class Room {
  public:
    Room() { std::filesystem::create_directory(mDir.File("media")); }

    std::string File(const std::string& name) const { return mDir.File(name); }
    uint16_t Port() const { return mPort; }
    void Write(const std::string& name, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(File(name)).parent_path());
        TestSupport::WriteFile(File(name), text);
    }
    std::string Read(const std::string& name) const { return TestSupport::ReadFile(File(name)); }

    // Starts the server here, with ignoredSignals ignored and blockedSignals blocked from the
    // start, and waits until the relay server has reported hosting and start-up has ended.
    std::unique_ptr<TestSupport::ServerProcess> Start(const std::vector<std::string>& args = {},
                                                      const std::vector<int>& ignoredSignals = {},
                                                      const std::vector<int>& blockedSignals = {}) {
        auto server = std::make_unique<TestSupport::ServerProcess>(kServer, args, mDir.Path(),
                                                                   ignoredSignals, blockedSignals);
        EXPECT_TRUE(Logs(*server, "Relay server hosting on port " + std::to_string(mPort)))
            << server->Output();
        WaitForStartUp(*server);
        return server;
    }

  private:
    TestSupport::TempDir mDir;
    uint16_t mPort{TestSupport::FreePort()};
};

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

// The names of the files in the room's media folder.
inline std::set<std::string> StoredFiles(const Room& room) {
    std::set<std::string> stored;
    for (const auto& entry : std::filesystem::directory_iterator(room.File("media"))) {
        stored.insert(entry.path().filename());
    }
    return stored;
}

}  // namespace AdminTest
