#include "System/Net/Http/HttpClient.h"

#include "System/Net/ClientSSL.h"
#include "System/Net/IPEndPoint.h"

#include <new>

namespace System::Net::Http {

namespace {

// The header lines every request carries after its request line.
String CommonHeaders(const Uri& uri) {
    return String(HttpHeader::RequestHost) + ":" + uri.Host() + "\r\n" +
           HttpHeader::RequestUserAgent + ": Custom\r\n" + HttpHeader::RequestAcceptEncoding + ":" +
           "gzip, deflate\r\n" + HttpHeader::RequestAcceptCharset + ":" + "ISO-8859-1, utf-8\r\n";
}

bool IsSameServer(const Uri& a, const Uri& b) {
    return a.Scheme() == b.Scheme() && a.Host() == b.Host() && a.Port() == b.Port();
}

}  // namespace

HttpClient::~HttpClient() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mActive = nullptr;
        mStopping = true;
    }
    mWake.notify_all();
    mWatchdog.Stop(true);
    if (mClient != nullptr) {
        mClient->Disconnect(true);
    }
    mSubscriptions.reset();
    mClient.reset();
}

void HttpClient::SendGetRequest(const Uri& uri) {
    SendRequest(uri, String(HttpHeader::MethodGet) + " " + uri.AbsolutePath() + uri.Query() + " " +
                         HttpHeader::Http11 + "\r\n" + CommonHeaders(uri) + "\r\n");
}

void HttpClient::SendPostRequest(const Uri& uri, const String& body, bool xml) {
    SendRequest(
        uri,
        String(HttpHeader::MethodPost) + " " + uri.AbsolutePath() + " " + HttpHeader::Http11 +
            "\r\n" + CommonHeaders(uri) + HttpHeader::RequestContentLength + ":" +
            String::Parse("%d\r\n", static_cast<int>(body.Length())) +
            HttpHeader::RequestContentType + ":" +
            (xml ? HttpHeader::ContentTypeApplicationXml : HttpHeader::ContentTypeApplicationForm) +
            "\r\n\r\n" + body);
}

void HttpClient::SendRequest(const Uri& uri, const String& text) {
    bool idle = false;
    if (!mRequesting.compare_exchange_strong(idle, true)) {
        return;
    }
    // A request that ended at once (its connection refused) lets the next one through
    // while this call still finishes; that one waits here.
    std::unique_lock<std::mutex> setup(mSetup);
    const auto start = std::chrono::steady_clock::now();
    uint64_t id = 0;
    bool reuse = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        id = ++mRequestId;
        mRequestText = text;
        mResponse.Clear();
        mAwaiting = true;
        mTimedOut = false;
        mArmed = false;
        reuse = mReusable && IsActive(mClient.get()) && mClient->IsConnected() &&
                IsSameServer(mUri, uri);
        mReusable = false;
        mUri = uri;
        if (!reuse) {
            mActive = nullptr;
        }
    }
    if (reuse &&
        mClient->Send(text.ToByteArray(), 0, text.Length()) != static_cast<int>(text.Length())) {
        std::lock_guard<std::mutex> lock(mLock);
        if (!mAwaiting) {
            // The connection's end has already failed the request.
            return;
        }
        // The server has closed the connection meanwhile: the request goes on a new one.
        mActive = nullptr;
        reuse = false;
    }
    if (!reuse && !Open(uri)) {
        {
            std::lock_guard<std::mutex> lock(mLock);
            mAwaiting = false;
        }
        setup.unlock();
        // A request whose connection never starts must still end, or every later
        // request would be dropped as if it were in progress.
        Fail(kCannotStart);
        return;
    }
    Arm(id, start);
}

void HttpClient::Disconnect() {
    if (mClient != nullptr) {
        mClient->Disconnect(false);
    }
}

void HttpClient::SetTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard<std::mutex> lock(mLock);
    mTimeout = timeout;
}

void HttpClient::SetMaxBodySize(int64_t size) {
    std::lock_guard<std::mutex> lock(mLock);
    mResponse.SetMaxBodySize(size);
}

void HttpClient::OnHttpConnecting(Client* client) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (!IsActive(client)) {
            return;
        }
    }
    OnConnecting.Raise(this);
}

void HttpClient::OnHttpConnect(Client* client) {
    String text;
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (!IsActive(client)) {
            return;
        }
        text = mRequestText;
    }
    client->Send(text.ToByteArray(), 0, text.Length());
    OnConnect.Raise(this);
}

void HttpClient::OnHttpConnectFailed(Client* client, const String& error) {
    bool timedOut = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (!IsActive(client) || !mAwaiting) {
            return;
        }
        mAwaiting = false;
        timedOut = mTimedOut;
    }
    Fail(timedOut ? String(kTimedOut) : error);
}

void HttpClient::OnHttpDisconnect(Client* client) {
    bool deliver = false;
    bool fail = false;
    bool unusable = false;  // the response can never complete
    bool timedOut = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (!IsActive(client)) {
            return;
        }
        if (mAwaiting) {
            mAwaiting = false;
            // A body without a length ends with the connection; any other response
            // that is not complete now never will be.
            timedOut = mTimedOut;
            deliver = !timedOut && mResponse.EndOfStream();
            fail = !deliver;
            unusable = mResponse.IsFailed();
        }
    }
    if (deliver) {
        Deliver();
    } else if (fail) {
        // A body that ends with the connection may still be unusable: it does not inflate
        // within the bound.
        Fail(timedOut ? kTimedOut : unusable ? kNoUsableAnswer : kClosedEarly);
    }
    OnDisconnect.Raise(this);
}

void HttpClient::OnReceivedMessage(Client* client, char* buffer, int count) {
    bool complete = false;
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (!IsActive(client) || !mAwaiting) {
            return;
        }
        // A reply that cannot be held for want of memory fails as one that cannot be used:
        // uncaught on the connection's thread, the failure ended the process.
        bool held = true;
        try {
            complete = mResponse.Receive(buffer, count);
        } catch (const std::bad_alloc&) {
            held = false;
        }
        if (held && !complete && !mResponse.IsFailed()) {
            return;
        }
        mAwaiting = false;
        mReusable = complete && mResponse.IsPersistent();
    }
    if (complete) {
        Deliver();
        return;
    }
    // Waiting for the connection to close would let the server go on sending, and hold
    // the request, for as long as it likes.
    client->Disconnect(false);
    Fail(kNoUsableAnswer);
}

bool HttpClient::Open(const Uri& uri) {
    const bool secure = uri.Scheme() == Uri::SchemeHttps();
    if (mClient != nullptr) {
        // Its last events are ignored: mActive no longer names it.
        mClient->Disconnect(true);
        if (mSecure != secure) {
            mSubscriptions.reset();
            mClient.reset();
        }
    }
    if (mClient == nullptr) {
        if (secure) {
            mClient = std::make_unique<ClientSSL>();
        } else {
            mClient = std::make_unique<Client>(Client::TCP);
        }
        mSecure = secure;
        mSubscriptions = std::make_unique<EventManager>();
        mSubscriptions->Add(mClient->OnConnecting, this, &HttpClient::OnHttpConnecting);
        mSubscriptions->Add(mClient->OnConnect, this, &HttpClient::OnHttpConnect);
        mSubscriptions->Add(mClient->OnConnectFailed, this, &HttpClient::OnHttpConnectFailed);
        mSubscriptions->Add(mClient->OnDisconnect, this, &HttpClient::OnHttpDisconnect);
        mSubscriptions->Add(mClient->OnReceiveMessage, this, &HttpClient::OnReceivedMessage);
    }
    if (secure) {
        static_cast<ClientSSL&>(*mClient).SetServerName(uri.Host());
    }
    int32_t port = uri.Port();
    if (port == 0) {
        port = secure ? 443 : 80;
    }
    const IPEndPoint endPoint = IPEndPoint(uri.Host(), static_cast<uint16_t>(port)).SwapEndian();
    if (mWatchdog.GetThreadState() == 0 && mWatchdog.Start() != 0) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mLock);
        mActive = mClient.get();
    }
    return mClient->Connect(endPoint);
}

void HttpClient::Arm(uint64_t id, std::chrono::steady_clock::time_point start) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        if (!mAwaiting || mRequestId != id) {
            return;
        }
        // Armed only now that the connection's socket exists: a shutdown made while
        // Connect replaces it could miss the new one.
        mArmed = true;
        mDeadline = start + mTimeout;
    }
    mWake.notify_all();
}

void HttpClient::Fail(const String& text) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mArmed = false;
        mResponse.Clear();
    }
    mRequesting = false;
    OnConnectFailed.Raise(this, text);
}

void HttpClient::Deliver() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mArmed = false;
    }
    OnResponse.Raise(this, mUri, mResponse);
    {
        std::lock_guard<std::mutex> lock(mLock);
        mResponse.Clear();
    }
    mRequesting = false;
}

void HttpClient::Watch() {
    std::unique_lock<std::mutex> lock(mLock);
    while (!mStopping) {
        if (!mArmed) {
            mWake.wait(lock);
        } else if (std::chrono::steady_clock::now() < mDeadline) {
            mWake.wait_until(lock, mDeadline);
        } else {
            mArmed = false;
            if (mAwaiting && mActive != nullptr) {
                // The connection's thread then ends the request as for a closed or
                // failed connection, so every event stays on that thread.
                mTimedOut = true;
                mActive->GetSocket()->Shutdown();
            }
        }
    }
}

}  // namespace System::Net::Http
