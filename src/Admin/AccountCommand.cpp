#include "Admin/AccountCommand.h"

#include "Application/AppModel.h"
#include "System/Xml/XmlDoc.h"

using System::String;

namespace {

constexpr const char* kConnectErrorKey = "switchboard.connect.error";

String Text(const String& key) {
    return AppModel::Instance()->mLocale.Get(key);
}

}  // namespace

void AccountCommand::Execute(System::MVC::EventDispatcher* event) {
    auto* request = static_cast<HttpEvent*>(event);
    bool busy = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        // The client drops a request made while another is in progress; served in place
        // of the first event, the completion of its request would tell this event an
        // outcome that is not its own, and the first event would never hear of it.
        busy = mServed != nullptr || Client().IsRequesting();
        if (!busy) {
            mServed = request;
        }
    }
    if (busy) {
        request->OnComplete.Raise(request, false, Text(kConnectErrorKey));
        return;
    }
    Send(*request);
}

void AccountCommand::OnConnectFailed(System::Net::Http::HttpClient* client, const String& error) {
    HttpCommand::OnConnectFailed(client, error);
    Complete(false, kConnectErrorKey);
}

void AccountCommand::OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                                System::Net::Http::HttpResponse& response) {
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* reply = ReadReply(document, response);
    if (reply == nullptr) {
        Complete(false, kUnknownKey);
    } else if (reply->GetAttribute("error") != nullptr) {
        Complete(false, reply->GetAttributeValue("error"));
    } else {
        Complete(true, mSuccessKey);
    }
    HttpCommand::OnResponse(client, uri, response);
}

void AccountCommand::Complete(bool success, const String& key) {
    HttpEvent* served = nullptr;
    {
        std::lock_guard<std::mutex> lock(mLock);
        served = mServed;
        mServed = nullptr;
    }
    if (served != nullptr) {
        served->OnComplete.Raise(served, success, Text(key));
    }
}
