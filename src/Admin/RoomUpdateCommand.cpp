#include "Admin/RoomUpdateCommand.h"

#include "Admin/AdminModel.h"
#include "Admin/RoomUpdateEvent.h"
#include "System/DateTime.h"
#include "System/Xml/XmlDoc.h"

using System::String;
using System::Uri;

void RoomUpdateCommand::Execute(System::MVC::EventDispatcher* event) {
    const auto* update = static_cast<RoomUpdateEvent*>(event);
    String body = String("s=") + Uri::EscapeDataString(
                                     AdminModel::Instance()->mNetwork.SwitchboardSessionId.Get());
    if (update->mAddress.Length() != 0) {
        body += String("&i=") + Uri::EscapeDataString(update->mAddress);
    }
    if (update->mPort > 0) {
        body += String::Parse("&pt=%d", update->mPort);
    }
    if (update->mFlags >= 0) {
        body += String::Parse("&f=%d", update->mFlags);
    }
    if (update->mIsPublic >= 0) {
        body += String::Parse("&pub=%d", update->mIsPublic);
    }
    if (update->mMaxClients >= 0) {
        body += String::Parse("&m=%d", update->mMaxClients);
    }
    if (update->mClientCount >= 0) {
        body += String::Parse("&c=%d", update->mClientCount);
    }
    Client().SendPostRequest(SwitchboardUri("/RoomUpdate"), body, false);
}

void RoomUpdateCommand::OnConnectFailed(System::Net::Http::HttpClient* client,
                                        const String& error) {
    HttpCommand::OnConnectFailed(client, error);
    AdminModel::Instance()->mNetwork.SwitchboardUpdateError = kUnknownKey;
}

void RoomUpdateCommand::OnResponse(System::Net::Http::HttpClient* client, const Uri& uri,
                                   System::Net::Http::HttpResponse& response) {
    NetworkModel& network = AdminModel::Instance()->mNetwork;
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* reply = ReadReply(document, response);
    if (reply == nullptr) {
        // An empty or unreadable reply is no accepted update; recording nothing would
        // leave a switchboard that no longer answers properly unreported.
        network.SwitchboardUpdateError = kUnknownKey;
    } else if (reply->GetAttribute("error") != nullptr) {
        network.SwitchboardUpdateError = reply->GetAttributeValue("error");
    } else {
        network.SwitchboardLastUpdate = System::DateTime::Now();
    }
    HttpCommand::OnResponse(client, uri, response);
}
