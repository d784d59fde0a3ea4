#include "Admin/LogoutCommand.h"

#include "Admin/AdminModel.h"
#include "System/Xml/XmlDoc.h"

using System::Uri;

void LogoutCommand::Execute(System::MVC::EventDispatcher*) {
    NetworkModel& network = AdminModel::Instance()->mNetwork;
    const Uri address = SwitchboardUri(System::String("/Logout?s=") +
                                       Uri::EscapeDataString(network.SwitchboardSessionId.Get()));
    network.SwitchboardState = NetworkModel::Disconnecting;
    Client().SendGetRequest(address);
}

void LogoutCommand::OnResponse(System::Net::Http::HttpClient* client, const Uri& uri,
                               System::Net::Http::HttpResponse& response) {
    NetworkModel& network = AdminModel::Instance()->mNetwork;
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* reply = ReadReply(document, response);
    if (reply != nullptr && reply->GetAttributeValue("value") == "ok") {
        network.SwitchboardSessionId = "";
        network.SwitchboardState = NetworkModel::Disconnected;
    } else {
        network.SwitchboardState = NetworkModel::Connected;
    }
    HttpCommand::OnResponse(client, uri, response);
}
