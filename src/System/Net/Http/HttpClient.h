#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "System/Event.h"
#include "System/EventManager.h"
#include "System/Net/Client.h"
#include "System/Net/Http/HttpResponse.h"
#include "System/Object.h"
#include "System/String.h"
#include "System/Threading/Thread.h"
#include "System/Uri.h"

namespace System::Net::Http {

// A small HTTP/1.1 client: one request at a time over a connection it owns, plain TCP
// or TLS for "https". It sends GET and POST requests with a fixed set of header lines,
// collects the response on the connection thread and raises OnResponse there once the
// body is complete and plain (chunked bodies decoded, gzip and deflate inflated).
//
// Every request ends in exactly one OnResponse or OnConnectFailed, raised on the
// connection thread (OnConnectFailed on the caller's thread when the connection thread
// cannot start). A request fails when the connection cannot be opened, closes before
// the response is complete, no complete response has come within the time-out, or the
// response can never complete (its head does not parse, its body is longer than the
// bound, as sent or once inflated, or does not inflate): then the connection is closed at
// once, and no more of it is read.
// Until then the client is requesting, and further requests are dropped without an
// event. A connection stays open after its response, unless the response says it
// closes, and serves the next request to the same scheme, host and port.
//
// Requests may be made from any thread (of those made at once, one is sent), but not
// from the handlers of this client's own events: the connection thread cannot reopen
// itself. REQUIRES: Disconnect is called from a handler or while no other thread makes
// a request; the destructor while no other thread uses the client.
class HttpClient : public Object {
  public:
    // How long a request may wait for its complete response.
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};

    // The texts OnConnectFailed carries beside the socket layer's own.
    static constexpr const char* kTimedOut = "Connection timed out";
    static constexpr const char* kClosedEarly =
        "Connection closed before the response was complete";
    static constexpr const char* kCannotStart = "The connection could not be started";
    static constexpr const char* kNoUsableAnswer = "No usable answer";

    HttpClient() = default;
    // Ends the connection, waiting for its thread, and the time-out's thread.
    ~HttpClient() override;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GET of the URI's path and query.
    void SendGetRequest(const Uri& uri);
    // POST of body to the URI's path (its query is not sent), as "application/xml"
    // when xml is set, else as a form.
    void SendPostRequest(const Uri& uri, const String& body, bool xml);
    // Sends the request text to the URI's host and port (80, or 443 for "https", when
    // it names none), resolving the host on the calling thread. Dropped without an
    // event while another request is in progress.
    void SendRequest(const Uri& uri, const String& text);
    // Ends the connection; a request still waiting for its response fails.
    void Disconnect();
    // The time-out of the requests sent from now on.
    void SetTimeout(std::chrono::milliseconds timeout);
    // The longest response body taken from now on (HttpResponse's bound by default).
    void SetMaxBodySize(int64_t size);

    // The URI of the request in progress or last sent.
    [[nodiscard]] const Uri& GetUri() const { return mUri; }
    [[nodiscard]] bool IsRequesting() const { return mRequesting.load(); }

    // The connection is about to be opened.
    Event<HttpClient*> OnConnecting;
    // The connection is open and the request has been sent.
    Event<HttpClient*> OnConnect;
    // The request failed: the reason.
    Event<HttpClient*, const String&> OnConnectFailed;
    // The connection has ended.
    Event<HttpClient*> OnDisconnect;
    // The complete response to the request sent to the URI. The client is still
    // requesting while the handlers run.
    Event<HttpClient*, const Uri&, HttpResponse&> OnResponse;

    // Handlers of the connection's events, on its thread.
    void OnHttpConnecting(Client* client);
    void OnHttpConnect(Client* client);
    void OnHttpConnectFailed(Client* client, const String& error);
    void OnHttpDisconnect(Client* client);
    void OnReceivedMessage(Client* client, char* buffer, int count);

  private:
    // Runs Watch on a thread of its own.
    class Watchdog : public Threading::Thread {
      public:
        explicit Watchdog(HttpClient& owner) : mOwner(owner) {}
        void Run() override { mOwner.Watch(); }

      private:
        HttpClient& mOwner;
    };

    // Opens a new connection for the request; false when it cannot start.
    bool Open(const Uri& uri);
    // Starts the time-out of request id, counted from start, unless it has ended.
    void Arm(uint64_t id, std::chrono::steady_clock::time_point start);
    // Ends the request, which no longer awaits its response, with OnConnectFailed(text).
    void Fail(const String& text);
    // Raises OnResponse for the request, which no longer awaits it, then ends it.
    void Deliver();
    // Whether the event comes from the connection serving the requests.
    // REQUIRES: mLock held.
    bool IsActive(Client* client) const { return client != nullptr && client == mActive; }
    // The time-out's thread: shuts down the connection of a request whose deadline
    // passes while it waits for its response, which ends the request through the
    // connection's own events.
    void Watch();

    // Held by SendRequest from the moment it wins the request; guards the fields up to
    // mLock, which are also read by the connection thread it starts. Taken before mLock.
    std::mutex mSetup;
    std::unique_ptr<Client> mClient;               // null until the first request
    bool mSecure{false};                           // mClient is a ClientSSL
    std::unique_ptr<EventManager> mSubscriptions;  // to mClient's events
    Watchdog mWatchdog{*this};

    // Guards the fields below it. Taken before a socket's own lock; never held while
    // an event is raised or a thread is waited for.
    std::mutex mLock;
    std::condition_variable mWake;  // the watchdog waits on it
    Uri mUri;                       // also read without the lock while its request is in progress
    String mRequestText;
    HttpResponse mResponse;  // also used without the lock by the thread delivering it
    // The client whose events count; null while a connection is being replaced, so that
    // the old connection's last events do not end the new request.
    Client* mActive{nullptr};
    // The last request's response left its connection open for the next one.
    bool mReusable{false};
    std::chrono::milliseconds mTimeout{kDefaultTimeout};
    uint64_t mRequestId{0};  // numbers the requests
    bool mAwaiting{false};   // the request waits for its response
    bool mTimedOut{false};   // its deadline passed
    bool mArmed{false};      // mDeadline applies to the request
    std::chrono::steady_clock::time_point mDeadline;
    bool mStopping{false};  // the watchdog is to end

    // From SendRequest until the response has been delivered or the request failed.
    std::atomic<bool> mRequesting{false};
};

}  // namespace System::Net::Http
