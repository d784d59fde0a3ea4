#pragma once

#include "Admin/HttpCommand.h"

// Ends the switchboard session: a reply whose "value" is exactly "ok" disconnects it and
// forgets the session id; any other reply keeps it connected; when the request fails the
// state stays Disconnecting.
class LogoutCommand final : public HttpCommand {
  public:
    LogoutCommand() = default;
    ~LogoutCommand() override { Close(); }
    LogoutCommand(const LogoutCommand&) = delete;
    LogoutCommand& operator=(const LogoutCommand&) = delete;

    void Execute(System::MVC::EventDispatcher* event) override;
    void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                    System::Net::Http::HttpResponse& response) override;
};
