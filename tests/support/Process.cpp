#include "support/Process.h"

#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <sys/syscall.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace TestSupport {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input) {
    const TempDir dir;
    WriteFile(dir.File("input"), input);
    ServerProcess process(argv, dir.File("input"));
    ProcessResult result;
    result.exitCode = process.WaitForExit(std::chrono::hours(1));
    result.output = process.Output();
    return result;
}

ProcessResult RunPython(const std::string& script, const std::string& input) {
    return RunProcess({ZELVO_PYTHON, "-c", script}, input);
}

std::vector<std::string> PythonLines(const std::string& script, const std::string& input) {
    const ProcessResult result = RunPython(script, input);
    EXPECT_EQ(result.exitCode, 0) << script;
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = result.output.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(result.output.substr(start, end - start));
    }
    return lines;
}

std::vector<std::string> PythonLines(const std::string& script,
                                     const std::vector<std::string>& inputLines) {
    std::string input;
    for (const std::string& line : inputLines) {
        input += line + "\n";
    }
    return PythonLines(script, input);
}

int DescriptorsOpenOn(pid_t pid, const std::string& path) {
    int open = 0;
    std::error_code error;
    const std::string descriptors = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(descriptors, error)) {
        open += std::filesystem::read_symlink(entry.path(), error) == path ? 1 : 0;
    }
    return open;
}

size_t SocketsOpen(pid_t pid) {
    size_t sockets = 0;
    std::error_code error;
    const std::string descriptors = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(descriptors, error)) {
        sockets +=
            std::filesystem::read_symlink(entry.path(), error).string().rfind("socket:", 0) == 0;
    }
    return sockets;
}

namespace {

// The state of the thread whose /proc directory is task, as its stat gives it ('R' running,
// 'S' asleep, 'T' stopped, 't' stopped by a tracer, ...); 0 when it cannot be read.
char ThreadState(const std::filesystem::path& task) {
    std::ifstream stat(task / "stat");
    std::string line;
    std::getline(stat, line);
    // The state follows the command name, which is in parentheses and may hold any character.
    const size_t nameEnd = line.rfind(')');
    return nameEnd == std::string::npos || nameEnd + 2 >= line.size() ? '\0' : line[nameEnd + 2];
}

// What the /proc status of process pid gives on the line beginning with field, after it;
// empty when it cannot be read.
std::string StatusField(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return line.substr(field.size());
        }
    }
    return "";
}

// Whether the signal set that the /proc status of process pid gives on the line beginning with
// field holds signal; false when it cannot be read.
bool StatusSetHolds(pid_t pid, const std::string& field, int signal) {
    const std::string set = StatusField(pid, field);
    // The set in hexadecimal, bit n - 1 for signal n.
    return !set.empty() && (std::stoull(set, nullptr, 16) >> (signal - 1) & 1) != 0;
}

}  // namespace

bool IgnoresSignal(pid_t pid, int signal) {
    return StatusSetHolds(pid, "SigIgn:", signal);
}

bool IsSignalPending(pid_t pid, int signal) {
    return StatusSetHolds(pid, "ShdPnd:", signal);
}

uint64_t ResidentBytes(pid_t pid) {
    const std::string kilobytes = StatusField(pid, "VmRSS:");
    return kilobytes.empty() ? 0 : std::stoull(kilobytes) << 10;
}

bool AllThreadsStopped(pid_t pid) {
    std::error_code error;
    bool any = false;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        if (ThreadState(task.path()) != 'T') {
            return false;
        }
        any = true;
    }
    return any;
}

int ThreadsWaitingToAccept(pid_t pid) {
    int waiting = 0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        // The call a thread is in, with its arguments, or "running" for one that runs.
        std::ifstream call(task.path() / "syscall");
        long number = -1;
        // Asleep in the call, not stopped by a tracer on its way in: the number is taken
        // inside, before the wait.
        if (call >> number && number == SYS_accept4 && ThreadState(task.path()) == 'S') {
            ++waiting;
        }
    }
    return waiting;
}

pid_t ThreadWritingAFullPipe(pid_t pid) {
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream wchan(task.path() / "wchan");
        std::string waitingIn;
        std::getline(wchan, waitingIn);
        if (waitingIn.find("pipe_write") != std::string::npos) {
            return static_cast<pid_t>(std::stol(task.path().filename().string()));
        }
    }
    return 0;
}

int OpenDescriptors() {
    int open = 0;
    std::error_code error;
    for (auto entry = std::filesystem::directory_iterator("/proc/self/fd", error);
         entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        ++open;
    }
    // Less the one the listing itself holds.
    return open - 1;
}

}  // namespace TestSupport
