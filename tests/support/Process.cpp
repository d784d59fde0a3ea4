#include "support/Process.h"

#include "support/ServerProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

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
