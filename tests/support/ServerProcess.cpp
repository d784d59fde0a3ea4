#include "support/ServerProcess.h"

#include "support/Process.h"
#include "support/Wait.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace TestSupport {

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

}  // namespace

ServerProcess::ServerProcess(const std::string& binary, const std::vector<std::string>& args,
                             const std::string& workDir, const std::vector<int>& ignoredSignals,
                             const std::vector<int>& blockedSignals, uint32_t memoryLimitMb) {
    std::vector<std::string> argv{binary};
    argv.insert(argv.end(), args.begin(), args.end());
    Start(argv, workDir, "", true, ignoredSignals, blockedSignals, memoryLimitMb);
}

ServerProcess::ServerProcess(const std::vector<std::string>& argv, const std::string& inputFile) {
    Start(argv, ".", inputFile, false, {}, {}, 0);
}

std::vector<std::string> ServerProcess::Environment(bool utc, uint32_t memoryLimitMb) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        environment.emplace_back(*variable);
    }
    const auto set = [&environment](const std::string& name, const std::string& value,
                                    bool append) {
        for (std::string& variable : environment) {
            if (variable.compare(0, name.size() + 1, name + "=") == 0) {
                variable = append ? variable + ":" + value : name + "=" + value;
                return;
            }
        }
        environment.push_back(name + "=" + value);
    };
    if (utc) {
        set("TZ", "UTC", false);
    }
    if (kSanitized && memoryLimitMb != 0) {
        const std::string limits =
            "allocator_may_return_null=1:hard_rss_limit_mb=" + std::to_string(memoryLimitMb) +
            ":max_allocation_size_mb=" + std::to_string(memoryLimitMb / 4);
        for (const char* name : {"ASAN_OPTIONS", "TSAN_OPTIONS"}) {
            set(name, limits, true);
        }
    }
    return environment;
}

void ServerProcess::Start(std::vector<std::string> argv, const std::string& workDir,
                          const std::string& inputFile, bool utc,
                          const std::vector<int>& ignoredSignals,
                          const std::vector<int>& blockedSignals, uint32_t memoryLimitMb) {
    // The child of a threaded process may only make async-signal-safe calls until it
    // execs: another thread may have held the allocator's lock at the fork, and it is
    // held for good in the child. So everything the child needs is made here.
    std::vector<std::string> environment = Environment(utc, memoryLimitMb);
    std::vector<char*> arguments;
    for (std::string& arg : argv) {
        arguments.push_back(arg.data());
    }
    arguments.push_back(nullptr);
    std::vector<char*> variables;
    for (std::string& variable : environment) {
        variables.push_back(variable.data());
    }
    variables.push_back(nullptr);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : blockedSignals) {
        sigaddset(&blocked, signal);
    }
    const rlimit dataLimit{rlim_t{memoryLimitMb} << 20, rlim_t{memoryLimitMb} << 20};

    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    mPid = fork();
    if (mPid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (mPid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        const int in = inputFile.empty() ? -1 : open(inputFile.c_str(), O_RDONLY);
        if ((in >= 0 && dup2(in, STDIN_FILENO) < 0) || chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        // An ignored disposition survives exec, as a blocked mask does: a runner started in
        // the background or under nohup would otherwise pass its own on.
        for (const int stop : {SIGHUP, SIGINT, SIGTERM}) {
            signal(stop, SIG_DFL);
        }
        for (const int ignored : ignoredSignals) {
            signal(ignored, SIG_IGN);
        }
        sigprocmask(SIG_SETMASK, &blocked, nullptr);
        if (!kSanitized && memoryLimitMb != 0) {
            setrlimit(RLIMIT_DATA, &dataLimit);
        }
        execvpe(arguments[0], arguments.data(), variables.data());
        _exit(127);
    }
    close(out[1]);
    mOutFd = out[0];
}

ServerProcess::~ServerProcess() {
    // Stopped as an operator would, so that every test also ends with a clean stop and a
    // server's coverage counts are written at its exit; killed when it does not end soon.
    if (!mReaped) {
        kill(mPid, SIGTERM);
        WaitForExit(kStopDeadline);
    }
    if (!mReaped) {
        kill(mPid, SIGKILL);
        while (waitpid(mPid, &mStatus, 0) < 0 && errno == EINTR) {
        }
    }
    if (mOutFd >= 0) {
        close(mOutFd);
    }
}

bool ServerProcess::ReadSome(std::chrono::steady_clock::time_point deadline) {
    if (mOutFd < 0) {
        return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fd{mOutFd, POLLIN, 0};
    int ready = poll(&fd, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready <= 0) {
        return ready == 0 || errno == EINTR;
    }
    char buffer[65536];
    ssize_t got = read(mOutFd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        close(mOutFd);
        mOutFd = -1;
        return false;
    }
    mOutput.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = mOutput.find('\n', mLineStart)) != std::string::npos;) {
        mLines.push_back(mOutput.substr(mLineStart, end - mLineStart));
        mLineStart = end + 1;
    }
    return true;
}

int ServerProcess::WaitForLine(const std::string& text, size_t from,
                               std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    size_t next = from;
    while (true) {
        for (; next < mLines.size(); ++next) {
            if (mLines[next].find(text) != std::string::npos) {
                return static_cast<int>(next);
            }
        }
        if (std::chrono::steady_clock::now() >= end || !ReadSome(end)) {
            return -1;
        }
    }
}

void ServerProcess::CloseOutput() {
    if (mOutFd >= 0) {
        close(mOutFd);
        mOutFd = -1;
    }
}

void ServerProcess::LimitUnreadOutput() {
    for (;;) {
        // Read first: a pipe cannot shrink below what it holds.
        pollfd fd{mOutFd, POLLIN, 0};
        while (mOutFd >= 0 && poll(&fd, 1, 0) > 0 && ReadSome(std::chrono::steady_clock::now())) {
        }
        if (mOutFd < 0 || fcntl(mOutFd, F_SETPIPE_SZ, getpagesize()) >= 0 || errno != EBUSY) {
            return;
        }
    }
}

void ServerProcess::Signal(int signal) {
    if (!mReaped) {
        kill(mPid, signal);
    }
}

bool ServerProcess::Pause() {
    Signal(SIGSTOP);
    // A thread not yet stopped could still take a signal, or a connection off a queue.
    return WaitUntil([this] { return AllThreadsStopped(mPid); });
}

bool ServerProcess::WaitForEndUnread(std::chrono::milliseconds deadline) {
    return WaitUntil(
        [this] { return mReaped || (mReaped = waitpid(mPid, &mStatus, WNOHANG) == mPid); },
        deadline);
}

int ServerProcess::WaitForExit(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    // The output ends when the process does; read it all first so that nothing it
    // wrote is lost and a process blocked on a full pipe can go on.
    while (ReadSome(end)) {
        if (std::chrono::steady_clock::now() >= end) {
            return -2;
        }
    }
    // Once the output has ended or been closed, only the exit itself is left to wait for.
    const bool exited = WaitForEndUnread(std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now()));
    if (!exited) {
        return -2;
    }
    return WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : -1;
}

}  // namespace TestSupport
