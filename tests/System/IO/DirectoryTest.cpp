#include "System/IO/Directory.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

// A save's last step flushes the folder that holds its file: when that fails, the reason
// the system gave is what the operator reads.
TEST(Directory, SyncingTheFolderOfAFileSaysWhyItFailed) {
    TestSupport::TempDir dir;
    System::String error;
    EXPECT_TRUE(System::IO::Directory::SyncHolding((dir.Path() + "/config.xml").c_str(), &error));
    EXPECT_FALSE(
        System::IO::Directory::SyncHolding((dir.Path() + "/gone/config.xml").c_str(), &error));
    EXPECT_EQ(std::string(error.CStr()), "No such file or directory");
}

}  // namespace
