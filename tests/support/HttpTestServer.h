#pragma once

#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <cstdint>
#include <memory>
#include <string>

namespace TestSupport {

// Writes a self-signed certificate for "localhost" and its key (PEM), made by openssl.
void WriteSelfSignedCertificate(const std::string& certificate, const std::string& key);

// A python HTTP/1.1 server on 127.0.0.1 that answers each request by its path with canned
// bytes (python writes, compresses and chunks them), over plain TCP or TLS with a
// self-signed certificate. Connections are kept open between requests unless the path
// closes them. It prints a line for each event the tests look for:
//   "SNI <name>"   a TLS handshake, with the server name the client sent (None when none);
//   "END clean"    the client ended the connection cleanly (TLS: after close_notify);
//   "END eof"      the client closed a TLS connection without close_notify;
//   "SEND cut"     the client closed the connection before the whole answer was sent.
// Paths: /length /mixed /chunked /gzip /deflate /gzip-chunked /close /http10 answer
// Body(); /early announces more than it sends and closes; /gzip-broken answers Body() as
// gzip, which it is not, and /gzip-broken-close does so until it closes; /silent never
// answers; /echo answers with the request's own bytes; /count with the number of requests
// served on the connection so far; /continue answers Body() after two interim responses
// sent with it; /continue-later sends an interim response, prints "INTERIM" and answers
// Body() once /release is requested on another connection. A path given an answer with SetReply
// answers it instead, and every request is printed as "REQUEST <method> <target> <body>".
class HttpTestServer {
  public:
    explicit HttpTestServer(bool tls = false);

    uint16_t Port() const { return mPort; }
    // Waits for a line holding text printed after the last line found; false when none
    // comes.
    bool WaitForLine(const std::string& text);
    // From now on requests to path are answered with body (Content-Length framed), compressed
    // by python's gzip and sent with "Content-Encoding: gzip" when gzip; "<silent>" leaves
    // them unanswered.
    void SetReply(const std::string& path, const std::string& body, bool gzip = false);
    // The next request printed after the last line found, as "<method> <target> <body>"
    // (no body: nothing after the target); "" when none comes.
    std::string NextRequest();
    // The body of the canned answers.
    static std::string Body();

  private:
    // The index of the first line after the last line found that holds text, which is
    // then the last line found; -1 when none comes.
    int FindLine(const std::string& text);

    TempDir mDir;
    std::unique_ptr<ServerProcess> mProcess;
    uint16_t mPort{0};
    size_t mNextLine{0};  // where the next search starts
};

}  // namespace TestSupport
