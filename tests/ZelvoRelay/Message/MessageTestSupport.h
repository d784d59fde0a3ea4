#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "System/String.h"
#include "ZelvoRelay/MVC/Model/MessageModel.h"
#include "ZelvoRelay/Message/BaseMessage.h"

#include "ZelvoRelay/Message/Chat/ChatMessage.h"
#include "ZelvoRelay/Message/Common/ErrorMessage.h"
#include "ZelvoRelay/Message/MessageFactory.h"
#include "ZelvoRelay/Message/Registration/ChangeNameMessage.h"
#include "ZelvoRelay/Message/Registration/JoinRoomRequest.h"
#include "ZelvoRelay/Message/Registration/JoinRoomResponse.h"
#include "ZelvoRelay/Message/Registration/RoomInfoMessage.h"
#include "ZelvoRelay/Message/Registration/UserJoinedMessage.h"
#include "ZelvoRelay/Message/Registration/UserLeftMessage.h"
#include "ZelvoRelay/Message/Registration/UserPrivilegeMessage.h"
#include "ZelvoRelay/Message/Registration/UserStatusMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceDataMessage.h"
#include "ZelvoRelay/Message/Voice/VoiceInitializationMessage.h"

// Helpers of the message tests: hand-written bytes in hexadecimal, and a one-line
// description of everything a decoded message's getters return.
namespace MessageTestSupport {

using namespace ZelvoRelay::Message;

using Bytes = std::vector<uint8_t>;

inline Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
    }
    return bytes;
}

inline std::string ToHex(const uint8_t* data, size_t size) {
    std::string hex;
    char pair[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", data[i]);
        hex += pair;
    }
    return hex;
}

inline std::string ToHex(const Bytes& bytes) {
    return ToHex(bytes.data(), bytes.size());
}

inline std::string ToHex(const System::String& text) {
    return ToHex(reinterpret_cast<const uint8_t*>(text.ToByteArray()), text.Length());
}

// count copies of the hexadecimal pair byte, separated by spaces.
inline std::string Repeat(const char* byte, size_t count) {
    std::string hex;
    for (size_t i = 0; i < count; ++i) {
        hex += i == 0 ? byte : std::string(" ") + byte;
    }
    return hex;
}

inline Bytes BytesOf(const BaseMessage& message) {
    const auto* data = reinterpret_cast<const uint8_t*>(message.GetMsg());
    return Bytes(data, data + message.GetMsgSize());
}

inline std::unique_ptr<BaseMessage> Decode(const ZelvoRelay::MVC::Model::MessageModel& messages,
                                           const Bytes& bytes) {
    // An exact-size heap copy, so that a read past the end is caught by the sanitizer.
    std::unique_ptr<char[]> data(new char[std::max<size_t>(bytes.size(), 1)]);
    std::copy(bytes.begin(), bytes.end(), data.get());
    const MessageFactory factory(messages);
    return std::unique_ptr<BaseMessage>(
        factory.CreateMessage(data.get(), static_cast<int32_t>(bytes.size())));
}

inline std::string Text(const System::String& text) {
    return "\"" + std::string(text.CStr(), text.Length()) + "\"";
}

template <class M>
const M* As(const BaseMessage& message) {
    return dynamic_cast<const M*>(&message);
}

inline std::string Describe(const BaseMessage& message) {
    std::ostringstream out;
    out << "cid=" << message.GetClientId() << " ";
    if (const auto* m = As<Common::ErrorMessage>(message)) {
        out << "Error " << +m->GetErrorId();
    } else if (const auto* m = As<Voice::VoiceInitializationMessage>(message)) {
        out << "VoiceInit " << m->GetSampleRate() << " " << +m->GetChannels() << " "
            << +m->GetBitsPerSample() << " " << +m->GetCompression() << " "
            << +m->GetCompressionQuality();
    } else if (const auto* m = As<Voice::VoiceDataMessage>(message)) {
        const char* data = m->GetVoiceData();
        const size_t present = data == nullptr ? 0 : message.GetMsgSize() - 8;
        const size_t size = std::min<size_t>(m->GetVoiceDataSize(), present);
        out << "VoiceData " << +m->GetSequenceId() << " " << m->GetVoiceDataSize() << " ["
            << ToHex(reinterpret_cast<const uint8_t*>(data), size) << "]";
    } else if (const auto* m = As<Chat::ChatMessage>(message)) {
        out << "Chat " << Text(m->GetMessage());
    } else if (const auto* m = As<Registration::JoinRoomRequest>(message)) {
        out << "Join " << Text(m->GetName()) << " [" << ToHex(m->GetPassword()) << "]";
    } else if (const auto* m = As<Registration::JoinRoomResponse>(message)) {
        out << "JoinResponse " << +m->GetErrorId();
    } else if (const auto* m = As<Registration::UserJoinedMessage>(message)) {
        out << "UserJoined " << Text(m->GetName()) << " " << static_cast<int>(m->GetUserGroup());
    } else if (const auto* m = As<Registration::UserStatusMessage>(message)) {
        out << "Status " << +m->GetStatus();
    } else if (const auto* m = As<Registration::ChangeNameMessage>(message)) {
        out << "ChangeName " << Text(m->GetName());
    } else if (const auto* m = As<Registration::UserPrivilegeMessage>(message)) {
        out << "Privileges " << static_cast<int>(m->GetUserGroup());
        const auto privileges = m->GetPrivileges();
        for (uint32_t i = 0; i < privileges.Count(); ++i) {
            out << " " << static_cast<int>(privileges[i].Privilege) << ":"
                << static_cast<int>(privileges[i].Right);
        }
    } else if (As<Registration::UserLeftMessage>(message) != nullptr) {
        out << "UserLeft";
    } else if (const auto* m = As<Registration::RoomInfoMessage>(message)) {
        out << "RoomInfo " << Text(m->GetName()) << " " << Text(m->GetSummary()) << " "
            << m->GetMaxClients();
    } else {
        out << "unknown";
    }
    return out.str();
}

}  // namespace MessageTestSupport
