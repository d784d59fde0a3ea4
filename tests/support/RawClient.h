#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace TestSupport {

// A plain TCP client of the loopback interface for end-to-end tests: it writes and reads
// bytes, and cuts what it reads into relay frames (4-byte little-endian length, then the
// payload) by itself, without the project's own classes.
class RawClient {
  public:
    // Connects to 127.0.0.1 at port, from the loopback address source (dotted) when it is
    // given, as a peer at another address would; Connected() tells whether that worked.
    explicit RawClient(uint16_t port, const std::string& source = "");
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    [[nodiscard]] bool Connected() const { return mSocket >= 0; }
    // The connection's own end point, dotted address and port ("127.0.0.2:40000"); empty when
    // it is not connected.
    [[nodiscard]] std::string LocalEndPoint() const;

    // Writes every byte, blocking while the peer does not read; false once the
    // connection is broken.
    bool SendBytes(const std::string& bytes);
    // Writes payload as one frame.
    bool SendFrame(const std::string& payload);
    // Writes the bytes one write call each, without coalescing them, so that the peer
    // may read them one at a time.
    bool SendBytesOneByOne(const std::string& bytes);

    // The payload of the next frame; nothing when the connection ends first or no frame
    // has come after deadline (which only ends a test that would otherwise hang).
    std::optional<std::string> NextFrame(
        std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Every byte until the peer closes the connection cleanly; nothing when it resets
    // the connection or has not closed it after deadline.
    std::optional<std::string> ReadToEnd(
        std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Reads at most most bytes as they arrive and waits until until, however soon it
    // has them, as a reader that takes bytes at a pace of its own does; the rest stays
    // in the socket. Frames read are kept for TakeFrame. False, at once, when the
    // connection has ended or been reset.
    bool ReadPaced(size_t most, std::chrono::steady_clock::time_point until);
    // The payload of the next frame among the bytes already read, reading nothing.
    std::optional<std::string> TakeFrame();
    // Reads and drops frames until the peer closes or resets the connection; true when
    // it does before deadline.
    bool WaitClosed(std::chrono::milliseconds deadline = std::chrono::seconds(30));

    // Writes a byte at a time until the peer answers with a reset, as a peer whose socket
    // is closed for good does (one that still reads takes the bytes in silence); true
    // when the reset comes before deadline.
    bool ProbeUntilReset(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Whether the peer has reset the connection. Also seen after the end of the stream
    // has been read, when reads no longer report a reset that follows it.
    [[nodiscard]] bool WasReset() const;
    // Whether a read of NextFrame, ReadToEnd or WaitClosed has found the end of the stream
    // or a reset: the peer's word that nothing more comes, which a deadline is not.
    [[nodiscard]] bool Ended() const { return mEnded; }

    // Whether a frame is already complete or bytes are waiting, without blocking.
    bool Pending();
    // Half-closes the sending side; the peer reads the end of the stream.
    void ShutdownSend();
    // Closes the connection at once.
    void Close();
    // Closes the connection with a reset (no lingering), as a crashed peer would.
    void Reset();
    // Waits until the peer has acknowledged every byte written; false when some are
    // still unacknowledged after deadline.
    bool WaitAcknowledged(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Makes the kernel's receive buffer small, so that a client that does not read
    // holds little.
    void SetReceiveBuffer(int bytes);

  private:
    // Reads what is waiting, waiting at most until end for something to arrive.
    // Returns the number of bytes read, 0 at the end of the stream, kReset when the
    // peer reset the connection, -1 on timeout or another error.
    static constexpr long kReset = -2;
    long ReadSome(std::chrono::steady_clock::time_point end);

    int mSocket{-1};
    std::string mReceived;  // bytes read and not yet taken as frames
    bool mEnded{false};     // see Ended
};

}  // namespace TestSupport
