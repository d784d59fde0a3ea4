#include "support/Process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace TestSupport {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input) {
    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[0]);
        close(toChild[1]);
        close(fromChild[0]);
        close(fromChild[1]);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);

    // A child that stops reading must not kill us with SIGPIPE.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);

    ProcessResult result;
    size_t written = 0;
    int inFd = toChild[1];
    // A blocking write of more than the pipe holds would wait for a child that is
    // itself waiting for us to read its output.
    fcntl(inFd, F_SETFL, fcntl(inFd, F_GETFL) | O_NONBLOCK);
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    }
    int outFd = fromChild[0];
    while (outFd >= 0) {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        int n = poll(fds, inFd >= 0 ? 2 : 1, -1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (fds[0].revents != 0) {
            char buffer[65536];
            ssize_t got = read(outFd, buffer, sizeof buffer);
            if (got > 0) {
                result.output.append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(outFd);
                outFd = -1;
            }
        }
        if (inFd >= 0 && fds[1].revents != 0) {
            ssize_t put = write(inFd, input.data() + written, input.size() - written);
            if (put > 0) {
                written += static_cast<size_t>(put);
            }
            if ((put < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) {
        close(inFd);
    }
    sigaction(SIGPIPE, &previous, nullptr);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

}  // namespace TestSupport
