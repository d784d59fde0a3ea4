#include "Admin/HttpCommand.h"

#include "Admin/AdminModel.h"
#include "Admin/Log/PrintLogMessage.h"
#include "System/Xml/XmlDoc.h"

#include <new>

using System::String;
using System::Net::Http::HttpClient;

HttpCommand::HttpCommand() : mClient(std::make_unique<HttpClient>()) {
    mEvents.Add(mClient->OnConnectFailed, this, &HttpCommand::OnConnectFailed);
    mEvents.Add(mClient->OnResponse, this, &HttpCommand::HandleResponse);
    mClient->SetMaxBodySize(kMaxReplySize);
}

HttpCommand::~HttpCommand() {
    Close();
}

void HttpCommand::Execute(System::MVC::EventDispatcher*) {}

void HttpCommand::OnConnectFailed(HttpClient*, const String&) {}

void HttpCommand::OnResponse(HttpClient* client, const System::Uri&,
                             System::Net::Http::HttpResponse&) {
    client->Disconnect();
}

void HttpCommand::HandleResponse(HttpClient* client, const System::Uri& uri,
                                 System::Net::Http::HttpResponse& response) {
    // Uncaught on the connection's thread, the failure would end the process, and with it
    // whatever the room has not saved yet.
    try {
        OnResponse(client, uri, response);
    } catch (const std::bad_alloc&) {
        // The query is left out: it may carry the session id.
        PrintLogMessage(
            String::Parse("ZELVO Admin ran out of memory handling the reply to %s from %s\n",
                          uri.AbsolutePath().CStr(), uri.Host().CStr()));
        OnConnectFailed(client, HttpClient::kNoUsableAnswer);
        client->Disconnect();
    }
}

void HttpCommand::SetTimeout(std::chrono::milliseconds timeout) {
    mClient->SetTimeout(timeout);
}

void HttpCommand::Close() {
    mClient.reset();
}

System::Uri HttpCommand::SwitchboardUri(const String& path) {
    return System::Uri(String(AdminModel::Instance()->mConfig.SwitchboardUrl) + path);
}

const System::Xml::XmlNode* HttpCommand::ReadReply(System::Xml::XmlDoc& document,
                                                   System::Net::Http::HttpResponse& response) {
    return document.Load(response.GetResponseString());
}
