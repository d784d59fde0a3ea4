#pragma once

#include "Admin/HttpCommand.h"
#include "Admin/HttpEvent.h"

#include <mutex>

// The shape of the switchboard's account requests: each dispatch ends in exactly one
// OnComplete of its own event, with the locale text of the outcome: the success key, the
// error key the switchboard sent, "switchboard.uri.unknown" for a reply that is no XML
// document (an empty one included), "switchboard.connect.error" when the request failed.
class AccountCommand : public HttpCommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) final;
    void OnConnectFailed(System::Net::Http::HttpClient* client, const System::String& error) final;
    void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                    System::Net::Http::HttpResponse& response) final;

  protected:
    explicit AccountCommand(const char* successKey) : mSuccessKey(successKey) {}
    // Sends the request of event, an event of the command's own class.
    virtual void Send(HttpEvent& event) = 0;

  private:
    // Completes the served event, which the command then forgets.
    void Complete(bool success, const System::String& key);

    const char* const mSuccessKey;
    std::mutex mLock;             // guards mServed
    HttpEvent* mServed{nullptr};  // the event whose request is in progress
};
