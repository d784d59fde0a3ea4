#include "support/HttpTestServer.h"

#include "support/Process.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace TestSupport {

namespace {

const char* const kServer = R"(
import gzip, os, re, socket, ssl, sys, threading, zlib
body = b'The quick brown fox jumps over the lazy dog. ' * 20

def chunked(data):
    out = b''
    for i in range(0, len(data), 100):
        out += b'%x;name=value\r\n' % len(data[i:i + 100]) + data[i:i + 100] + b'\r\n'
    return out + b'0\r\nExpires: never\r\n\r\n'

def ok(head, payload):
    return b'HTTP/1.1 200 OK\r\n' + head + b'\r\n' + payload

def sized(payload, head=b''):
    return ok(head + b'Content-Length: %d\r\n' % len(payload), payload)

canned = {
    '/length': sized(body),
    '/mixed': ok(b'cOnTeNt-lEnGtH:%d\r\n' % len(body), body),
    '/chunked': ok(b'Transfer-Encoding: chunked\r\n', chunked(body)),
    '/gzip': sized(gzip.compress(body), b'Content-Encoding: gzip\r\n'),
    '/deflate': sized(zlib.compress(body), b'Content-Encoding: deflate\r\n'),
    '/gzip-chunked': ok(b'Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n',
                        chunked(gzip.compress(body))),
    '/close': ok(b'Connection: close\r\n', body),
    '/http10': b'HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n' % len(body) + body,
    '/early': ok(b'Content-Length: 100000\r\n', body),
    '/gzip-broken': sized(body, b'Content-Encoding: gzip\r\n'),
    '/gzip-broken-close': ok(b'Content-Encoding: gzip\r\nConnection: close\r\n', body),
    '/continue': b'HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n' +
                 sized(body),
}
released = threading.Event()
closing = {'/close', '/http10', '/early', '/gzip-broken-close'}

printing = threading.Lock()
def say(*words):
    # One line at a time: print writes its words separately.
    with printing:
        print(*words, flush=True)

tls = None
if len(sys.argv) > 1:
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(sys.argv[1], sys.argv[2])
    tls.options &= ~ssl.OP_IGNORE_UNEXPECTED_EOF
    tls.sni_callback = lambda s, name, c: say('SNI', name)

def receive(conn):
    try:
        data = conn.recv(65536)
    except ssl.SSLError as error:
        if 'EOF' in error.reason:
            say('END eof')
        return None
    except OSError:
        return None
    if not data:
        say('END clean')
    return data

def serve(conn):
    if tls:
        try:
            conn = tls.wrap_socket(conn, server_side=True, suppress_ragged_eofs=False)
        except (OSError, ssl.SSLError):
            return
    data, served = b'', 0
    with conn:
        while True:
            while b'\r\n\r\n' not in data:
                more = receive(conn)
                if not more:
                    return
                data += more
            head, _, data = data.partition(b'\r\n\r\n')
            length = re.search(rb'(?i)\r\ncontent-length: *(\d+)', head)
            need = int(length.group(1)) if length else 0
            while len(data) < need:
                more = receive(conn)
                if not more:
                    return
                data += more
            request, data = head + b'\r\n\r\n' + data[:need], data[need:]
            method, target = head.split(b' ')[:2]
            path = target.decode().split('?')[0]
            served += 1
            body = request[len(head) + 4:].decode('latin-1')
            say('REQUEST', method.decode(), target.decode(), *[body][:len(body)])
            answer = os.path.join('replies', path.replace('/', '_'))
            if os.path.exists(answer + '.gzip'):
                with open(answer + '.gzip', 'rb') as file:
                    reply = sized(gzip.compress(file.read()), b'Content-Encoding: gzip\r\n')
            elif os.path.exists(answer):
                with open(answer, 'rb') as file:
                    reply = file.read()
                if reply == b'<silent>':
                    continue
                reply = sized(reply)
            elif path == '/silent':
                continue
            elif path == '/echo':
                reply = sized(request)
            elif path == '/continue-later':
                conn.sendall(b'HTTP/1.1 100 Continue\r\n\r\n')
                say('INTERIM')
                released.wait()
                released.clear()
                reply = canned['/length']
            elif path == '/release':
                released.set()
                reply = sized(b'')
            elif path == '/count':
                reply = sized(b'%d' % served)
            else:
                reply = canned[path]
            try:
                conn.sendall(reply)
            except OSError:
                say('SEND cut')
                return
            if path in closing:
                return

listener = socket.create_server(('127.0.0.1', 0))
print('PORT', listener.getsockname()[1], flush=True)
while True:
    conn, _ = listener.accept()
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
)";

}  // namespace

void WriteSelfSignedCertificate(const std::string& certificate, const std::string& key) {
    const ProcessResult made = RunProcess(
        {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", key, "-out", certificate, "-subj", "/CN=localhost", "-days", "1"});
    if (made.exitCode != 0) {
        throw std::runtime_error("openssl could not make a certificate");
    }
}

HttpTestServer::HttpTestServer(bool tls) {
    std::vector<std::string> args{"-c", kServer};
    if (tls) {
        args.push_back(mDir.File("certificate.pem"));
        args.push_back(mDir.File("key.pem"));
        WriteSelfSignedCertificate(args[2], args[3]);
    }
    mProcess = std::make_unique<ServerProcess>(ZELVO_PYTHON, args, mDir.Path());
    const int line = mProcess->WaitForLine("PORT ");
    if (line < 0) {
        throw std::runtime_error("the python HTTP server did not start");
    }
    mPort =
        static_cast<uint16_t>(std::stoi(mProcess->Lines()[static_cast<size_t>(line)].substr(5)));
    mNextLine = static_cast<size_t>(line) + 1;
}

int HttpTestServer::FindLine(const std::string& text) {
    const int line = mProcess->WaitForLine(text, mNextLine);
    if (line >= 0) {
        mNextLine = static_cast<size_t>(line) + 1;
    }
    return line;
}

bool HttpTestServer::WaitForLine(const std::string& text) {
    return FindLine(text) >= 0;
}

void HttpTestServer::SetReply(const std::string& path, const std::string& body, bool gzip) {
    std::string name = path;
    std::replace(name.begin(), name.end(), '/', '_');
    std::filesystem::create_directories(mDir.File("replies"));
    // Renamed into place, so that the server never reads half an answer; the answer of the
    // other encoding goes once this one is there.
    const std::string plain = mDir.File("replies/" + name);
    const std::string file = gzip ? plain + ".gzip" : plain;
    std::ofstream(file + ".new", std::ios::binary) << body;
    std::filesystem::rename(file + ".new", file);
    std::filesystem::remove(gzip ? plain : plain + ".gzip");
}

std::string HttpTestServer::NextRequest() {
    const int line = FindLine("REQUEST ");
    return line < 0 ? "" : mProcess->Lines()[static_cast<size_t>(line)].substr(8);
}

std::string HttpTestServer::Body() {
    std::string body;
    for (int i = 0; i < 20; ++i) {
        body += "The quick brown fox jumps over the lazy dog. ";
    }
    return body;
}

}  // namespace TestSupport
