#pragma once

#include "Admin/Log/PrintLogMessage.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace AdminTest {

// Standard output goes to a file while the object exists. The lines logged before it go
// where standard output went before, and those logged while it exists to the file.
class ConsoleCapture {
  public:
    ConsoleCapture() {
        Written();
        std::fflush(stdout);
        mSaved = dup(STDOUT_FILENO);
        const int file = open(mDir.File("console").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        dup2(file, STDOUT_FILENO);
        close(file);
    }
    // Passes on what was captured, test failures included.
    ~ConsoleCapture() {
        Written();
        std::fflush(stdout);
        dup2(mSaved, STDOUT_FILENO);
        close(mSaved);
        std::ifstream in(mDir.File("console"));
        std::cout << in.rdbuf() << std::flush;
    }
    // The texts of the lines written so far, without their time stamps.
    std::vector<std::string> Texts() const {
        Written();
        std::ifstream in(mDir.File("console"));
        std::vector<std::string> texts;
        for (std::string line; std::getline(in, line);) {
            texts.push_back(line.size() >= 21 ? line.substr(21) : line);
        }
        return texts;
    }

  private:
    // Waits until the console's writer has written what was logged so far.
    static void Written() {
        EXPECT_TRUE(WaitForConsole(std::chrono::steady_clock::now() + std::chrono::seconds(30)));
    }

    TestSupport::TempDir mDir;
    int mSaved{-1};
};

}  // namespace AdminTest
