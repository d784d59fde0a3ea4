#pragma once

#include "Admin/HttpCommand.h"

// Asks the configured address-discovery page for the server's Internet address, and keeps
// the whole body of its answer as the run-time key InternetAddress ("" when it fails).
class FindIpCommand final : public HttpCommand {
  public:
    FindIpCommand() = default;
    ~FindIpCommand() override { Close(); }
    FindIpCommand(const FindIpCommand&) = delete;
    FindIpCommand& operator=(const FindIpCommand&) = delete;

    void Execute(System::MVC::EventDispatcher* event) override;
    void OnConnectFailed(System::Net::Http::HttpClient* client,
                         const System::String& error) override;
    void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                    System::Net::Http::HttpResponse& response) override;
};
