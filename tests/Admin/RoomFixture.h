#pragma once

#include "support/Process.h"
#include "support/RawClient.h"
#include "support/RawSocket.h"
#include "support/RelayWire.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"

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

// The text of the next chat client is sent; empty when none comes.
inline std::string NextChat(TestSupport::RawClient& client) {
    const auto frames = FramesUntil(client, RelayWire::Chat);
    // Type, the sender's id, the text's length, then the text.
    return frames.empty() || frames.back().size() < 6 ? std::string() : frames.back().substr(6);
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

// The room's texts, written into "config.xml" as they stand (escaped already), and its size.
struct Settings {
    std::string roomName{"Test Room"};
    std::string roomSummary{"A test"};
    uint32_t maxClients{20};
};

// "config.xml" as the server writes it.
inline std::string ConfigXml(uint16_t port, const Settings& settings,
                             const std::string& privileges) {
    return "<config RelayServerPort=\"" + std::to_string(port) + "\" RoomName=\"" +
           settings.roomName + "\" RoomSummary=\"" + settings.roomSummary + "\" RoomMaxClients=\"" +
           std::to_string(settings.maxClients) +
           "\" RoomIsPublic=\"false\" AudioCompressionQuality=\"8\" "
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
    // start and the memory limit given (ServerProcess), and waits until the relay server has
    // reported hosting and start-up has ended.
    std::unique_ptr<TestSupport::ServerProcess> Start(const std::vector<std::string>& args = {},
                                                      const std::vector<int>& ignoredSignals = {},
                                                      const std::vector<int>& blockedSignals = {},
                                                      uint32_t memoryLimitMb = 0) {
        auto server = std::make_unique<TestSupport::ServerProcess>(
            kServer, args, mDir.Path(), ignoredSignals, blockedSignals, memoryLimitMb);
        EXPECT_TRUE(Logs(*server, "Relay server hosting on port " + std::to_string(mPort)))
            << server->Output();
        WaitForStartUp(*server);
        return server;
    }

  private:
    TestSupport::TempDir mDir;
    uint16_t mPort{TestSupport::FreePort()};
};

// A catalogue item of media.xml as the server writes it, with the id text given.
inline std::string Item(const std::string& id) {
    return "<item><entry><id>" + id + "</id><title>t" + id + "</title></entry><group /></item>";
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
