#include "Admin/LoginCommand.h"

#include "Admin/AdminModel.h"
#include "Admin/LoginEvent.h"
#include "Admin/RoomUpdateEvent.h"
#include "System/DateTime.h"
#include "System/Xml/XmlDoc.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

using System::String;
using System::Uri;

void LoginCommand::Execute(System::MVC::EventDispatcher* event) {
    const auto* login = static_cast<LoginEvent*>(event);
    AdminModel* admin = AdminModel::Instance();
    NetworkModel& network = admin->mNetwork;
    network.SwitchboardSessionId = "";
    admin->mConfig.SwitchboardUsername = login->mUser;
    admin->mConfig.SwitchboardPassword = login->mPassword;
    network.SwitchboardLoginError = "";
    // Unescaped, a "&" or "=" in a password would end its field or start another.
    const String body = String("n=") + Uri::EscapeDataString(login->mUser) +
                        "&p=" + Uri::EscapeDataString(login->mPassword);
    network.SwitchboardState = NetworkModel::Connecting;
    Client().SendPostRequest(SwitchboardUri("/Login"), body, false);
}

void LoginCommand::OnConnectFailed(System::Net::Http::HttpClient* client, const String& error) {
    HttpCommand::OnConnectFailed(client, error);
    NetworkModel& network = AdminModel::Instance()->mNetwork;
    network.SwitchboardState = NetworkModel::Disconnected;
    network.SwitchboardLoginError = kUnknownKey;
}

void LoginCommand::OnResponse(System::Net::Http::HttpClient* client, const Uri& uri,
                              System::Net::Http::HttpResponse& response) {
    AdminModel* admin = AdminModel::Instance();
    NetworkModel& network = admin->mNetwork;
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* reply = ReadReply(document, response);
    if (reply == nullptr) {
        network.SwitchboardState = NetworkModel::Disconnected;
        network.SwitchboardLoginError = kUnknownKey;
    } else if (reply->GetAttribute("sid") == nullptr) {
        network.SwitchboardState = NetworkModel::Disconnected;
        network.SwitchboardLoginError = reply->GetAttributeValue("error");
    } else {
        network.SwitchboardSessionId = reply->GetAttributeValue("sid");
        network.SwitchboardState = NetworkModel::Connected;
        network.SwitchboardLastUpdate = System::DateTime::Now();
        // A reply that names no room would otherwise blank the configured name, and the
        // next save would write the blank over it.
        if (reply->GetAttribute("room") != nullptr) {
            admin->mConfig.RoomName = reply->GetAttributeValue("room");
        }
        const auto& room = ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()->Room;
        RoomUpdateEvent update("", admin->mConfig.RelayServerPort.ToInt(),
                               static_cast<int8_t>(room.GetRoomFlags()), room.IsPublic ? 1 : 0,
                               static_cast<int>(room.MaxClients),
                               static_cast<int>(RelayObserver::ClientCount()));
        update.Dispatch();
    }
    HttpCommand::OnResponse(client, uri, response);
}
