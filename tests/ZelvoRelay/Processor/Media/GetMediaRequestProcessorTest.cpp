#include "ZelvoRelay/Processor/Media/GetMediaRequestProcessor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "System/IO/MemoryStream.h"
#include "ZelvoRelay/Client/RelayClient.h"
#include "ZelvoRelay/Collections/HeldFile.h"
#include "ZelvoRelay/Message/Media/GetMediaRequest.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"
#include "ZelvoRelay/Threading/MessageTask.h"
#include "support/RelayTestServer.h"
#include "support/TempDir.h"

namespace {

using ZelvoRelay::Message::Media::GetMediaResponse;
using ZelvoRelay::MVC::Model::MediaTransferModel;
using Lines = std::vector<std::string>;

constexpr uint32_t kClient = 1;  // connected; has not joined, which a download does not need
constexpr uint32_t kItem = 5;    // in the catalogue, with a photo file and no preview file

// The processor runs on the test's thread against a relay model whose server never
// hosts; its answers are read off the task queue.
class GetMediaRequestProcessorTest : public ::testing::Test {
  protected:
    GetMediaRequestProcessorTest() {
        mModel->Configuration.MediaPath = System::String((mDir.Path() + "/").c_str());
        TestSupport::WriteFile(mDir.File("5_0"), "0123456789");
        ZelvoRelay::MVC::Model::MediaModel item;
        item.mMediaId = kItem;
        mModel->Media.Add(item);
        auto* client = new ZelvoRelay::Client::RelayClient();  // the model deletes it
        client->GetUserModel().ClientId = kClient;
        mModel->Clients.mValue.Add(*client);
    }

    void Request(uint32_t sender, uint32_t mediaId, uint8_t resourceId) {
        ZelvoRelay::Message::Media::GetMediaRequest request(sender, mediaId, resourceId);
        ZelvoRelay::Processor::Media::GetMediaRequestProcessor().Process(&request, sender);
    }

    // Takes every queued message off the queue, each as "to <target>: <what>".
    Lines Queued() {
        Lines lines;
        while (ZelvoRelay::Threading::MessageTask* task = mModel->Messages.mTasks.Dequeue()) {
            std::string line = "to " + std::to_string(task->TargetId) + ": ";
            const auto* message = task->Message;
            if (message->GetMsgId() == GetMediaResponse::MsgId) {
                const auto* answer = static_cast<const GetMediaResponse*>(message);
                line += "answer " + std::to_string(answer->GetErrorType()) + " for " +
                        std::to_string(answer->GetMediaId()) + "_" +
                        std::to_string(answer->GetResourceId());
            } else if (message->GetMsgId() ==
                       ZelvoRelay::Message::Media::MediaChunkMessage::MsgId) {
                const auto* chunk =
                    static_cast<const ZelvoRelay::Message::Media::MediaChunkMessage*>(message);
                line += "chunk of " + std::to_string(chunk->GetMediaId()) + "_" +
                        std::to_string(chunk->GetResourceId());
            } else {
                line += "type " + std::to_string(message->GetMsgId());
            }
            lines.push_back(line);
            task->Discard();
        }
        return lines;
    }

    TestSupport::TempDir mDir;
    TestSupport::RelayTestServer mServer;
    ZelvoRelay::MVC::Model::ZelvoRelayModel* mModel{
        ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()};
};

TEST_F(GetMediaRequestProcessorTest, AReadableFileStartsWithTheAnswerAndTheFirstChunkBehindIt) {
    Request(kClient, kItem, 0);
    EXPECT_EQ(Queued(), (Lines{"to 1: answer 0 for 5_0", "to 1: chunk of 5_0"}));
    EXPECT_NE(mModel->Downloads.Find(kClient, kItem, 0), nullptr);
}

TEST_F(GetMediaRequestProcessorTest, NoSuchItemAndAFileThatCannotBeReadAreNotFound) {
    // A file under the name of an item that is not in the catalogue is not served.
    TestSupport::WriteFile(mDir.File("6_0"), "stray");
    Request(kClient, 6, 0);
    // The item's preview file is missing; resource 2 names no file at all.
    Request(kClient, kItem, 1);
    Request(kClient, kItem, 2);
    EXPECT_EQ(Queued(), (Lines{"to 1: answer 2 for 6_0", "to 1: answer 2 for 5_1",
                               "to 1: answer 2 for 5_2"}));
    EXPECT_EQ(mModel->Downloads.Count(), 0u);
}

TEST_F(GetMediaRequestProcessorTest, ASecondRequestForARunningDownloadLeavesItAsItIs) {
    MediaTransferModel running(kClient, kItem, 0);
    running.mFile = ZelvoRelay::Collections::HeldFile::Take().release();
    running.mFile->Keep(std::make_unique<System::IO::MemoryStream>());
    mModel->Downloads.Add(running);
    // One whose file is gone from the disk: it goes on with the file it holds open, so it is
    // answered as running too, not as not found.
    MediaTransferModel fileGone(kClient, kItem, 1);
    fileGone.mFile = ZelvoRelay::Collections::HeldFile::Take().release();
    fileGone.mFile->Keep(std::make_unique<System::IO::MemoryStream>());
    mModel->Downloads.Add(fileGone);

    Request(kClient, kItem, 0);
    Request(kClient, kItem, 1);
    EXPECT_EQ(Queued(), (Lines{"to 1: answer 1 for 5_0", "to 1: answer 1 for 5_1"}));
    EXPECT_EQ(mModel->Downloads.Count(), 2u);
    EXPECT_EQ(mModel->Downloads.Find(kClient, kItem, 0)->mFile, running.mFile);
    EXPECT_EQ(mModel->Downloads.Find(kClient, kItem, 1)->mFile, fileGone.mFile);
}

TEST_F(GetMediaRequestProcessorTest, ASenderThatHasLeftGetsNothingAndKeepsNoDownload) {
    Request(42, kItem, 0);
    EXPECT_EQ(Queued(), Lines{});
    EXPECT_EQ(mModel->Downloads.Count(), 0u);
}

}  // namespace
