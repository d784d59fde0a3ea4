#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(TestSupport, PythonEchoesLargeInputBack) {
    std::string input(1 << 20, 'x');
    auto result = TestSupport::RunPython("import sys; sys.stdout.write(sys.stdin.read())", input);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, input);
}

TEST(TestSupport, TempDirIsRemovedWithItsFiles) {
    std::string path;
    {
        TestSupport::TempDir dir;
        path = dir.Path();
        std::ofstream(dir.File("a.txt")) << "hello";
        EXPECT_TRUE(std::filesystem::exists(dir.File("a.txt")));
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
