#pragma once

#include <cstdint>
#include <string>

// The relay protocol's bytes written out by hand, for test clients: a message is a type
// byte, a little-endian client id and the payload of its type; integers are little-endian
// and a text is a length byte followed by its bytes.
namespace RelayWire {

enum Type : uint8_t {
    Error = 1,
    VoiceInit = 10,
    VoiceData = 11,
    Chat = 50,
    JoinRequest = 100,
    JoinResponse = 101,
    UserJoined = 102,
    UserStatus = 103,
    ChangeName = 104,
    UserPrivilege = 105,
    UserLeft = 106,
    RoomInfo = 110,
    GetMediaInfo = 150,
    MediaInfo = 151,
    GetMedia = 152,
    GetMediaAnswer = 153,
    AddMedia = 154,
    AddMediaAnswer = 155,
    MediaChunk = 156,
    StopMedia = 157,
    RemoveMedia = 159,
    RemoveMediaAnswer = 160,
};

inline std::string U8(uint8_t value) {
    return std::string(1, static_cast<char>(value));
}

inline std::string U16(uint16_t value) {
    return U8(value & 0xFF) + U8(value >> 8);
}

inline std::string U32(uint32_t value) {
    return U16(value & 0xFFFF) + U16(value >> 16);
}

inline std::string Text(const std::string& text) {
    return U8(static_cast<uint8_t>(text.size())) + text;
}

inline std::string Message(uint8_t type, uint32_t clientId, const std::string& payload = "") {
    return U8(type) + U32(clientId) + payload;
}

// A join with the raw SHA-256 digest of the password, or without password when digest
// is empty (the 32 digest bytes are always there).
inline std::string Join(const std::string& name, const std::string& digest, uint32_t clientId = 0) {
    const std::string length = U8(digest.empty() ? 0 : 32);
    return Message(JoinRequest, clientId,
                   Text(name) + length + (digest.empty() ? std::string(32, '\0') : digest));
}

inline std::string ChatText(const std::string& text, uint32_t clientId = 0) {
    return Message(Chat, clientId, Text(text));
}

inline std::string Voice(uint8_t sequence, const std::string& data, uint32_t clientId = 0) {
    return Message(VoiceData, clientId,
                   U8(sequence) + U16(static_cast<uint16_t>(data.size())) + data);
}

inline std::string MediaFile(uint8_t type, uint32_t mediaId, uint8_t resourceId) {
    return Message(type, 0, U32(mediaId) + U8(resourceId));
}

inline std::string AddMediaRequest(uint8_t requestId, uint8_t mediaType, uint32_t size,
                                   const std::string& name) {
    return Message(AddMedia, 0, U8(requestId) + U8(mediaType) + U32(size) + Text(name));
}

inline std::string Chunk(uint32_t mediaId, uint8_t resourceId, uint32_t offset,
                         const std::string& data) {
    return Message(MediaChunk, 0,
                   U32(mediaId) + U8(resourceId) + U32(offset) +
                       U16(static_cast<uint16_t>(data.size())) + data);
}

// A received message taken apart: its header and the payload after it.
struct Parsed {
    uint8_t type{0};
    uint32_t clientId{0};
    std::string payload;
};

inline uint32_t ReadU32(const std::string& bytes, size_t at) {
    const auto byte = [&bytes, at](size_t i) {
        return uint32_t{static_cast<uint8_t>(bytes[at + i])};
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

inline Parsed Parse(const std::string& message) {
    Parsed parsed;
    if (message.size() >= 5) {
        parsed.type = static_cast<uint8_t>(message[0]);
        parsed.clientId = ReadU32(message, 1);
        parsed.payload = message.substr(5);
    }
    return parsed;
}

}  // namespace RelayWire
