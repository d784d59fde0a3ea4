#pragma once

#include "Admin/HttpCommand.h"

// Logs in to the switchboard with the event's user name and password, which it keeps as
// the configured account. A reply with a session id connects the session, takes the room
// name it gives and sends the first room update at once; any other outcome disconnects it
// with the error key the switchboard sent, or "switchboard.uri.unknown" when there was none
// to read.
class LoginCommand final : public HttpCommand {
  public:
    LoginCommand() = default;
    ~LoginCommand() override { Close(); }
    LoginCommand(const LoginCommand&) = delete;
    LoginCommand& operator=(const LoginCommand&) = delete;

    void Execute(System::MVC::EventDispatcher* event) override;
    void OnConnectFailed(System::Net::Http::HttpClient* client,
                         const System::String& error) override;
    void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                    System::Net::Http::HttpResponse& response) override;
};
