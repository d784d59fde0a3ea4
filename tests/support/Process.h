#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

// What a finished child process left behind.
struct ProcessResult {
    int exitCode{-1};    // exit status, or -1 when it did not exit normally
    std::string output;  // everything it wrote to standard output
};

// Runs argv[0] (looked up on PATH) with the given arguments, writes input to its
// standard input, and waits for it to end. Standard error is passed through.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "");

// Runs a python script with the system interpreter (the one that has Debian's modules).
ProcessResult RunPython(const std::string& script, const std::string& input = "");

// The lines a python script printed, without their line feeds; a script that fails
// fails the calling test.
std::vector<std::string> PythonLines(const std::string& script, const std::string& input = "");
// The same, with each of inputLines written as a line of standard input.
std::vector<std::string> PythonLines(const std::string& script,
                                     const std::vector<std::string>& inputLines);

// How many open descriptors of process pid refer to the file at path (a canonical path).
int DescriptorsOpenOn(pid_t pid, const std::string& path);

// How many sockets process pid holds open.
size_t SocketsOpen(pid_t pid);

// Whether process pid ignores signal, as its /proc status shows; false when it cannot be read.
bool IgnoresSignal(pid_t pid, int signal);

// Whether signal, sent to process pid, is still to be taken by one of its threads, as its
// /proc status shows; false when it cannot be read.
bool IsSignalPending(pid_t pid, int signal);

// The bytes of memory process pid has resident, as its /proc status shows; 0 when it cannot be
// read.
uint64_t ResidentBytes(pid_t pid);

// Whether every thread of process pid is stopped by a signal, so that none of them runs
// until it is continued.
bool AllThreadsStopped(pid_t pid);

// How many threads of process pid wait in accept4 for a connection, asleep. Each has already
// taken the descriptor number that its next connection will get (the lowest free one when the
// wait began), which no listing of the process's descriptors shows until it is given out.
int ThreadsWaitingToAccept(pid_t pid);

// A thread of process pid that waits to write to a full pipe; 0 when there is none.
pid_t ThreadWritingAFullPipe(pid_t pid);

// How many descriptors the calling process has open.
int OpenDescriptors();

}  // namespace TestSupport
