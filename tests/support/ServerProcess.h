#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

// A program started in a working directory of the test's choosing, whose standard
// output is collected line by line as it arrives. Tests wait for a console line or
// for the exit, each with a deadline, instead of sleeping. Standard error is passed
// through, so sanitizer reports show in the test log. A process still running when
// the object goes is sent SIGTERM, and killed if it has not ended kStopDeadline later.
class ServerProcess {
  public:
    static constexpr std::chrono::milliseconds kStopDeadline{3000};

    // Starts binary with args in workDir, with TZ=UTC so that time stamps are fixed.
    // SIGHUP, SIGINT and SIGTERM start handled by default, whatever the test runner
    // ignores, except those in ignoredSignals, which start ignored (as under nohup).
    // blockedSignals start blocked, as a launcher may leave them. A memoryLimitMb other
    // than 0 limits the memory of the process, as a container or a service manager would
    // (see Environment).
    ServerProcess(const std::string& binary, const std::vector<std::string>& args,
                  const std::string& workDir, const std::vector<int>& ignoredSignals = {},
                  const std::vector<int>& blockedSignals = {}, uint32_t memoryLimitMb = 0);
    // Starts argv[0], looked up on PATH, with the rest of argv as its arguments and its
    // standard input read from inputFile.
    ServerProcess(const std::vector<std::string>& argv, const std::string& inputFile);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Waits until a line (after the first `from` lines) contains text; returns its index,
    // or -1 when the deadline passes or the output ends first.
    int WaitForLine(const std::string& text, size_t from = 0,
                    std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // The complete lines received so far, without their line feeds.
    const std::vector<std::string>& Lines() const { return mLines; }
    // Everything received so far, as written.
    const std::string& Output() const { return mOutput; }

    // Closes the reading end of the output, so that the process's next write fails.
    void CloseOutput();
    // Reads what waits in the output, then lets its pipe hold one page only: from then on
    // the process blocks writing once a page waits unread, as behind a stalled terminal.
    void LimitUnreadOutput();
    void Signal(int signal);
    // Stops the process (SIGSTOP) and waits until none of its threads runs, so that signals
    // sent now wait together and the kernel alone acts on its sockets until Signal(SIGCONT);
    // false when the deadline passes first.
    bool Pause();
    pid_t Pid() const { return mPid; }
    // Waits for the process to end; its exit status, -1 when a signal ended it, or -2
    // when the deadline passed first.
    int WaitForExit(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Waits for the process to end, reading none of its output (so a process blocked
    // writing it stays blocked); false when the deadline passes first. WaitForExit then
    // gives its status.
    bool WaitForEndUnread(std::chrono::milliseconds deadline = std::chrono::seconds(30));

  private:
    // The environment the process starts with: the caller's, TZ=UTC when utc, and the
    // memory limit's options when memoryLimitMb is not 0. A process's memory is limited as
    // a container or a service manager would: its data segment and private mappings
    // (RLIMIT_DATA), where an allocation past the limit fails. A sanitizer's runtime maps
    // terabytes of shadow memory, which no such limit admits: built with one, the runtime's
    // own limits stand in for it, so that a process whose memory passes the limit is ended,
    // and an allocation of more than a quarter of it fails (new(std::nothrow) and malloc
    // return null).
    static std::vector<std::string> Environment(bool utc, uint32_t memoryLimitMb);
    void Start(std::vector<std::string> argv, const std::string& workDir,
               const std::string& inputFile, bool utc, const std::vector<int>& ignoredSignals,
               const std::vector<int>& blockedSignals, uint32_t memoryLimitMb);
    // Reads what has arrived until the deadline; false when the output has ended.
    bool ReadSome(std::chrono::steady_clock::time_point deadline);

    pid_t mPid{-1};
    int mOutFd{-1};                   // read end of the child's standard output
    std::string mOutput;              // every byte received
    std::vector<std::string> mLines;  // complete lines, split from mOutput
    size_t mLineStart{0};             // where the unfinished line begins in mOutput
    int mStatus{0};                   // wait status once reaped
    bool mReaped{false};
};

}  // namespace TestSupport
