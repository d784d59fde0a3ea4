// Room made below the descriptor reserve by closing a connection that has not joined, with the
// relay hosted in the test's process, so that the test can hold what the relay's threads wait
// on and look at what the closing gave back before anything else runs.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "System/IO/DescriptorRoom.h"
#include "support/Process.h"
#include "support/RelayTestServer.h"
#include "support/RelayWire.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace {

using Model = ZelvoRelay::MVC::Model::ZelvoRelayModel;
using System::IO::DescriptorRoom;

constexpr uint32_t kItem = 5;

// A hosted relay whose catalogue lists item kItem with a photo of 64 MiB that takes no disk
// space, far more than any socket holds, so that a download of it runs until it is read.
class RelayDescriptorRoomTest : public ::testing::Test {
  protected:
    RelayDescriptorRoomTest() {
        mModel->Configuration.MediaPath = System::String((mMedia.Path() + "/").c_str());
        TestSupport::WriteFile(mMedia.File("5_0"), "");
        std::filesystem::resize_file(mMedia.File("5_0"), 64u << 20);
        mPhoto = std::filesystem::canonical(mMedia.File("5_0"));
        ZelvoRelay::MVC::Model::MediaModel item;
        item.mMediaId = kItem;
        mModel->Media.Add(item);
    }

    // How many descriptors of this process are open on the photo.
    int PhotoOpen() const { return TestSupport::DescriptorsOpenOn(getpid(), mPhoto); }

    TestSupport::TempDir mMedia;
    std::string mPhoto;
    TestSupport::RelayTestServer mServer;
    Model* mModel{Model::Instance()};
};

// A connection that has not joined downloads the photo, reading nothing; room is then made for
// a download. The closing ends the connection's download, and gives back any file of it, itself,
// before the one that asked goes on: its client worker, which would otherwise end the connection's
// downloads later, waits meanwhile on the uploads monitor (it ends a leaving client's uploads
// first), which a test thread holds. Left to that worker, the file stayed open, and each closing
// served a request only in part. Under ThreadSanitizer it also shows a closing that does not wait
// for the client workers' turns: the close of the connection's socket then races with its worker's
// send of a chunk on it, and a number freed in a turn could be sent on after another took it.
TEST_F(RelayDescriptorRoomTest, AConnectionClosedForRoomGivesBackItsDownloadsFileFirst) {
    ASSERT_TRUE(mServer.Start());
    TestSupport::RawClient outsider(mServer.Port());
    outsider.SetReceiveBuffer(4096);
    outsider.SendFrame(RelayWire::MediaFile(RelayWire::GetMedia, kItem, 0));
    // Running once its first chunk has come; its file is open only while a chunk is read.
    for (bool chunk = false; !chunk;) {
        const auto frame = outsider.NextFrame();
        ASSERT_TRUE(frame);
        chunk = RelayWire::Parse(*frame).type == RelayWire::MediaChunk;
    }

    // Held on a thread of its own, which takes nothing else meanwhile: held by the caller of
    // the closing, it would be taken before the client workers' turns, against the lock order.
    std::promise<void> held;
    std::promise<void> release;
    std::thread holder([this, &held, done = release.get_future()] {
        mModel->Uploads.mMonitor.Enter();
        held.set_value();
        done.wait();
        mModel->Uploads.mMonitor.Exit();
    });
    held.get_future().wait();
    const bool made = DescriptorRoom::Make(DescriptorRoom::Use::Download);
    const int open = PhotoOpen();
    mModel->Downloads.mMonitor.Enter();
    const size_t downloads = mModel->Downloads.Count();
    mModel->Downloads.mMonitor.Exit();
    release.set_value();
    holder.join();

    EXPECT_TRUE(made);
    EXPECT_EQ(open, 0);
    EXPECT_EQ(downloads, 0u);
    EXPECT_TRUE(outsider.WaitClosed());
}

}  // namespace
