#pragma once

#include "System/EventManager.h"
#include "System/MVC/ICommand.h"
#include "System/Net/Http/HttpClient.h"
#include "System/String.h"
#include "System/Uri.h"

#include <chrono>
#include <cstdint>
#include <memory>

namespace System::Xml {
class XmlNode;
class XmlDoc;
}  // namespace System::Xml

// Base of the switchboard commands: each serves one event name with a client of its own,
// sends one request per dispatch (a dispatch made while a request is in progress is
// dropped by the client) and learns its outcome on the request's connection thread,
// through OnResponse or OnConnectFailed, exactly one of them per request. A reply
// whose body is longer than kMaxReplySize is not read: its request fails. Memory that
// runs out while a reply is handled fails that request, with a log line, and nothing
// else: OnConnectFailed follows the OnResponse that could not end.
//
// Every concrete command calls Close() first in its destructor: the connection thread
// may be running a handler of the command, which must not outlive the command's own part.
class HttpCommand : public System::MVC::ICommand {
  public:
    HttpCommand();
    ~HttpCommand() override;
    HttpCommand(const HttpCommand&) = delete;
    HttpCommand& operator=(const HttpCommand&) = delete;

    void Execute(System::MVC::EventDispatcher* event) override;
    // The request could not be made or was not answered in time.
    virtual void OnConnectFailed(System::Net::Http::HttpClient* client,
                                 const System::String& error);
    // Closes the connection, so that each request has its own. Every override ends with it.
    virtual void OnResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                            System::Net::Http::HttpResponse& response);

    // How long the requests sent from now on may wait for their response.
    void SetTimeout(std::chrono::milliseconds timeout);
    // Whether a request is in progress: until its OnResponse has returned, or until just
    // before its OnConnectFailed is raised. A dispatch made meanwhile is dropped.
    [[nodiscard]] bool IsRequesting() const { return mClient->IsRequesting(); }

    // The longest reply body read: a reply is one element with a few attributes, and a
    // long one would cost many times its size to parse.
    static constexpr int64_t kMaxReplySize = int64_t{1} << 20;

  protected:
    // The message key of a request that failed or got no readable reply.
    static constexpr const char* kUnknownKey = "switchboard.uri.unknown";

    // Drops the request in progress without an outcome, waiting for a handler that is
    // running; the client is gone after it.
    void Close();
    System::Net::Http::HttpClient& Client() { return *mClient; }

    // The configured switchboard address followed by path.
    static System::Uri SwitchboardUri(const System::String& path);
    // The reply's top-level element, or null when the body is no XML document (an empty
    // body included).
    static const System::Xml::XmlNode* ReadReply(System::Xml::XmlDoc& document,
                                                 System::Net::Http::HttpResponse& response);

  private:
    // Raises OnResponse, or OnConnectFailed when memory runs out meanwhile.
    void HandleResponse(System::Net::Http::HttpClient* client, const System::Uri& uri,
                        System::Net::Http::HttpResponse& response);

    System::EventManager mEvents;  // subscriptions to the client's events
    std::unique_ptr<System::Net::Http::HttpClient> mClient;
};
