#pragma once

#include "Admin/HttpCommand.h"

// Refreshes the room's switchboard entry with the fields of the event that are set. The
// time of an accepted update or the error key of a refused one goes to NetworkModel.
class RoomUpdateCommand final : public HttpCommand {
  public:
    RoomUpdateCommand() = default;
    ~RoomUpdateCommand() override { Close(); }
    RoomUpdateCommand(const RoomUpdateCommand&) = delete;
    RoomUpdateCommand& operator=(const RoomUpdateCommand&) = delete;

    void Execute(System::MVC::EventDispatcher* event) override;
    void OnConnectFailed(System::Net::Http::HttpClient* client,
                         const System::String& error) override;
    void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                    System::Net::Http::HttpResponse& response) override;
};
