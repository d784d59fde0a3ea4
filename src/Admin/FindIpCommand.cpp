#include "Admin/FindIpCommand.h"

#include "Admin/AdminModel.h"

using System::String;

void FindIpCommand::Execute(System::MVC::EventDispatcher*) {
    Client().SendGetRequest(System::Uri(String(AdminModel::Instance()->mConfig.IpDiscoveryUrl)));
}

void FindIpCommand::OnConnectFailed(System::Net::Http::HttpClient* client, const String& error) {
    HttpCommand::OnConnectFailed(client, error);
    AdminModel::Instance()->mConfig.InternetAddress = "";
}

void FindIpCommand::OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                               System::Net::Http::HttpResponse& response) {
    AdminModel::Instance()->mConfig.InternetAddress = response.GetResponseString();
    HttpCommand::OnResponse(client, uri, response);
}
