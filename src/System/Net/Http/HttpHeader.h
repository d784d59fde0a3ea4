#pragma once

#include <cstdint>

#include "System/Collections/KeyValue.h"
#include "System/Collections/Vector.h"
#include "System/IO/StreamReader.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::Net::Http {

class HttpResponse;

// The names of HTTP versions, methods, content types, header fields and status codes,
// and the parser of a response's status line and header lines.
class HttpHeader : public Object {
  public:
    using Headers = Collections::Vector<Collections::KeyValue<String, String>>;

    static constexpr const char* Http10 = "HTTP/1.0";
    static constexpr const char* Http11 = "HTTP/1.1";

    static constexpr const char* MethodHead = "HEAD";
    static constexpr const char* MethodGet = "GET";
    static constexpr const char* MethodPost = "POST";
    static constexpr const char* MethodPut = "PUT";
    static constexpr const char* MethodDelete = "DELETE";
    static constexpr const char* MethodTrace = "TRACE";
    static constexpr const char* MethodOptions = "OPTIONS";
    static constexpr const char* MethodConnect = "CONNECT";
    static constexpr const char* MethodPatch = "PATCH";

    static constexpr const char* ContentTypeText = "text/plain";
    static constexpr const char* ContentTypeApplicationForm = "application/x-www-form-urlencoded";
    static constexpr const char* ContentTypeApplicationXml = "application/xml";

    static constexpr const char* RequestAccept = "Accept";
    static constexpr const char* RequestAcceptCharset = "Accept-Charset";
    static constexpr const char* RequestAcceptEncoding = "Accept-Encoding";
    static constexpr const char* RequestAcceptLanguage = "Accept-Language";
    static constexpr const char* RequestAuthorization = "Authorization";
    static constexpr const char* RequestCacheControl = "Cache-Control";
    static constexpr const char* RequestConnection = "Connection";
    static constexpr const char* RequestCookie = "Cookie";
    static constexpr const char* RequestContentLength = "Content-Length";
    static constexpr const char* RequestContentType = "Content-Type";
    static constexpr const char* RequestDate = "Date";
    static constexpr const char* RequestExpect = "Expect";
    static constexpr const char* RequestFrom = "From";
    static constexpr const char* RequestHost = "Host";
    static constexpr const char* RequestIfMatch = "If-Match";
    static constexpr const char* RequestIfModifiedSince = "If-Modified-Since";
    static constexpr const char* RequestIfNoneMatch = "If-None-Match";
    static constexpr const char* RequestIfRange = "If-Range";
    static constexpr const char* RequestIfUnmodifiedSince = "If-Unmodified-Since";
    static constexpr const char* RequestMaxForwards = "Max-Forwards";
    static constexpr const char* RequestPragma = "Pragma";
    static constexpr const char* RequestProxyAuthorization = "Proxy-Authorization";
    static constexpr const char* RequestRange = "Range";
    static constexpr const char* RequestReferer = "Referer";
    static constexpr const char* RequestTE = "TE";
    static constexpr const char* RequestUpgrade = "Upgrade";
    static constexpr const char* RequestUserAgent = "User-Agent";
    static constexpr const char* RequestVia = "Via";
    static constexpr const char* RequestWarning = "Warning";

    static constexpr const char* ResponseAcceptRanges = "Accept-Ranges";
    static constexpr const char* ResponseAge = "Age";
    static constexpr const char* ResponseAllow = "Allow";
    static constexpr const char* ResponseCacheControl = "Cache-Control";
    static constexpr const char* ResponseContentEncoding = "Content-Encoding";
    static constexpr const char* ResponseContentLanguage = "Content-Language";
    static constexpr const char* ResponseContentLength = "Content-Length";
    static constexpr const char* ResponseContentLocation = "Content-Location";
    static constexpr const char* ResponseContentDisposition = "Content-Disposition";
    static constexpr const char* ResponseContentMD5 = "Content-MD5";
    static constexpr const char* ResponseContentRange = "Content-Range";
    static constexpr const char* ResponseContentType = "Content-Type";
    static constexpr const char* ResponseDate = "Date";
    static constexpr const char* ResponseETag = "ETag";
    static constexpr const char* ResponseExpires = "Expires";
    static constexpr const char* ResponseLastModified = "Last-Modified";
    static constexpr const char* ResponseLink = "Link";
    static constexpr const char* ResponseLocation = "Location";
    static constexpr const char* ResponseP3P = "P3P";
    static constexpr const char* ResponsePragma = "Pragma";
    static constexpr const char* ResponseProxyAuthenticate = "Proxy-Authenticate";
    static constexpr const char* ResponseRefresh = "Refresh";
    static constexpr const char* ResponseRetryAfter = "Retry-After";
    static constexpr const char* ResponseServer = "Server";
    static constexpr const char* ResponseSetCookie = "Set-Cookie";
    static constexpr const char* ResponseTrailer = "Trailer";
    static constexpr const char* ResponseTransferEncoding = "Transfer-Encoding";
    static constexpr const char* ResponseVary = "Vary";
    static constexpr const char* ResponseVia = "Via";
    static constexpr const char* ResponseWarning = "Warning";
    static constexpr const char* ResponseWWWAuthenticate = "WWW-Authenticate";

    static constexpr int32_t StatusContinue = 100;
    static constexpr int32_t StatusSwitchingProtocols = 101;
    static constexpr int32_t StatusProcessing = 102;
    static constexpr int32_t StatusOk = 200;
    static constexpr int32_t StatusCreated = 201;
    static constexpr int32_t StatusAccepted = 202;
    static constexpr int32_t StatusNonAuthoritativeInformation = 203;
    static constexpr int32_t StatusNoContent = 204;
    static constexpr int32_t StatusResetContent = 205;
    static constexpr int32_t StatusPartialContent = 206;
    static constexpr int32_t StatusMultiStatus = 207;
    static constexpr int32_t StatusIMUsed = 226;
    static constexpr int32_t StatusMultipleChoices = 300;
    static constexpr int32_t StatusMovedPermanently = 301;
    static constexpr int32_t StatusFound = 302;
    static constexpr int32_t StatusSeeOther = 303;
    static constexpr int32_t StatusNotModified = 304;
    static constexpr int32_t StatusUseProxy = 305;
    static constexpr int32_t StatusSwitchProxy = 306;
    static constexpr int32_t StatusTemporaryRedirect = 307;
    static constexpr int32_t StatusBadRequest = 400;
    static constexpr int32_t StatusUnauthorized = 401;
    static constexpr int32_t StatusPaymentRequired = 402;
    static constexpr int32_t StatusForbidden = 403;
    static constexpr int32_t StatusNotFound = 404;
    static constexpr int32_t StatusMethodNotAllowed = 405;
    static constexpr int32_t StatusNotAcceptable = 406;
    static constexpr int32_t StatusProxyAuthenticationRequired = 407;
    static constexpr int32_t StatusRequestTimeout = 408;
    static constexpr int32_t StatusConflict = 409;
    static constexpr int32_t StatusGone = 410;
    static constexpr int32_t StatusLengthRequired = 411;
    static constexpr int32_t StatusPreconditionFailed = 412;
    static constexpr int32_t StatusRequestEntityTooLarge = 413;
    static constexpr int32_t StatusRequestURITooLong = 414;
    static constexpr int32_t StatusUnsupportedMediaType = 415;
    static constexpr int32_t StatusRequestedRangeNotSatisfiable = 416;
    static constexpr int32_t StatusExpectationFailed = 417;
    static constexpr int32_t StatusInternalServerError = 500;
    static constexpr int32_t StatusNotImplemented = 501;
    static constexpr int32_t StatusBadGateway = 502;
    static constexpr int32_t StatusServiceUnavailable = 503;
    static constexpr int32_t StatusGatewayTimeout = 504;
    static constexpr int32_t StatusHTTPVersionNotSupported = 505;
    static constexpr int32_t StatusVariantAlsoNegotiates = 506;
    static constexpr int32_t StatusInsufficientStorage = 507;

    ~HttpHeader() override = default;

    // Reads the status line and the header lines of the response's data from its
    // current position (callers start at 0). True once the blank line that ends the
    // headers has arrived: version, status, reason, headers and body offset are then
    // set. False while the headers are incomplete or the status line is not one.
    static bool ParseResponse(HttpResponse& response);
    // Reads "name: value" lines up to the blank line, appending each pair in arrival
    // order. Whitespace around a value is not part of it; a line without a colon splits
    // at its first space. False when the data ends before the blank line.
    static bool ParseHeaders(IO::StreamReader& reader, Headers& headers);
};

}  // namespace System::Net::Http
