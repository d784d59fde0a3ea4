#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>

#include "System/IO/DescriptorLimit.h"
#include "System/IO/DescriptorRoom.h"
#include "System/IO/MemoryStream.h"
#include "ZelvoRelay/Collections/HeldFile.h"
#include "ZelvoRelay/Message/Media/GetMediaResponse.h"
#include "ZelvoRelay/Message/Media/MediaChunkMessage.h"
#include "ZelvoRelay/Message/Media/RemoveMediaRequest.h"
#include "ZelvoRelay/PostAction/PostSendMediaChunk.h"
#include "ZelvoRelay/Processor/Media/MediaChunkMessageProcessor.h"
#include "ZelvoRelay/Processor/Media/RemoveMediaRequestProcessor.h"
#include "ZelvoRelay/Threading/MessageTask.h"

#include "support/RelayTestServer.h"
#include "support/TempDir.h"

namespace {

using ZelvoRelay::Message::Media::GetMediaResponse;
using ZelvoRelay::MVC::Model::MediaTransferModel;

// A file that holds 100 bytes but yields none, as a failing disk would.
struct UnreadableStream : System::IO::MemoryStream {
    UnreadableStream() : MemoryStream(100) {}
    int Read(unsigned char*, int, int) override { return 0; }
};

// The processors run here on the test's thread, against a relay model whose server
// never hosts; no client is connected.
class MediaProcessorsTest : public ::testing::Test {
  protected:
    // True when nothing was queued for any client.
    bool NothingQueued() { return mModel->Messages.mTasks.Dequeue() == nullptr; }

    TestSupport::RelayTestServer mServer;
    ZelvoRelay::MVC::Model::ZelvoRelayModel* mModel{
        ZelvoRelay::MVC::Model::ZelvoRelayModel::Instance()};
};

TEST_F(MediaProcessorsTest, ARemovalFromAClientThatHasLeftRemovesNothing) {
    ZelvoRelay::MVC::Model::MediaModel item;
    item.mMediaId = 5;
    mModel->Media.Add(item);
    ZelvoRelay::Message::Media::RemoveMediaRequest request(0, 5);
    ZelvoRelay::Processor::Media::RemoveMediaRequestProcessor().Process(&request, 42);
    EXPECT_EQ(mModel->Media.Count(), 1u);
    EXPECT_TRUE(NothingQueued());
}

// Its client is told that the rest will not come.
TEST_F(MediaProcessorsTest, ADownloadWhoseFileYieldsNothingEnds) {
    MediaTransferModel download(1, 5, 0);
    download.mFile = ZelvoRelay::Collections::HeldFile::Take().release();
    download.mFile->Keep(std::make_unique<UnreadableStream>());
    mModel->Downloads.Add(download);
    ZelvoRelay::PostAction::PostSendMediaChunk(1, 5, 0).Execute();
    EXPECT_EQ(mModel->Downloads.Count(), 0u);
    ZelvoRelay::Threading::MessageTask* task = mModel->Messages.mTasks.Dequeue();
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(task->Message->GetMsgId(), GetMediaResponse::MsgId);
    EXPECT_EQ(static_cast<const GetMediaResponse*>(task->Message)->GetErrorType(),
              GetMediaResponse::NotFound);
    task->Discard();
    EXPECT_TRUE(NothingQueued());
}

// Room made below the descriptor reserve while it is set: each closing asked is counted, and
// none is made. The process's soft limit is lowered so that the next descriptor taken lies in
// the reserve; both are restored after.
class ReservedNextDescriptor {
  public:
    ReservedNextDescriptor() {
        sAsked = 0;
        System::IO::DescriptorRoom::SetCloser([] {
            ++sAsked;
            return false;
        });
        getrlimit(RLIMIT_NOFILE, &mLimit);
        const int lowest = open("/dev/null", O_RDONLY | O_CLOEXEC);
        close(lowest);
        const rlimit lowered{static_cast<rlim_t>(lowest) + System::IO::DescriptorLimit::kReserve,
                             mLimit.rlim_max};
        mLowered = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~ReservedNextDescriptor() {
        setrlimit(RLIMIT_NOFILE, &mLimit);
        System::IO::DescriptorRoom::SetCloser(nullptr);
    }
    ReservedNextDescriptor(const ReservedNextDescriptor&) = delete;
    ReservedNextDescriptor& operator=(const ReservedNextDescriptor&) = delete;

    [[nodiscard]] bool Lowered() const { return mLowered; }
    [[nodiscard]] static int Asked() { return sAsked; }

  private:
    static inline int sAsked = 0;
    rlimit mLimit{};
    bool mLowered{false};
};

// A start handed on to the message worker runs after its client may have left, which took the
// download's place with it: it opens no file, so a file that would land in the reserve closes
// no other party's connection for nobody. The same start with its place claimed asks for room.
TEST_F(MediaProcessorsTest, AStartWhoseClientHasLeftOpensNoFileAndMakesNoRoom) {
    TestSupport::TempDir media;
    mModel->Configuration.MediaPath = System::String((media.Path() + "/").c_str());
    TestSupport::WriteFile(media.File("5_0"), "0123456789");
    ZelvoRelay::MVC::Model::MediaModel item;
    item.mMediaId = 5;
    mModel->Media.Add(item);
    ReservedNextDescriptor reserved;
    ASSERT_TRUE(reserved.Lowered());

    ZelvoRelay::PostAction::PostSendMediaChunk::Start(1, 5, 0, false);
    EXPECT_EQ(ReservedNextDescriptor::Asked(), 0);
    EXPECT_TRUE(NothingQueued());

    mModel->Downloads.Add(MediaTransferModel(1, 5, 0));
    ZelvoRelay::PostAction::PostSendMediaChunk::Start(1, 5, 0, false);
    EXPECT_EQ(ReservedNextDescriptor::Asked(), 1);
    EXPECT_EQ(mModel->Downloads.Count(), 0u);
    ZelvoRelay::Threading::MessageTask* task = mModel->Messages.mTasks.Dequeue();
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(static_cast<const GetMediaResponse*>(task->Message)->GetErrorType(),
              GetMediaResponse::NotFound);
    task->Discard();
}

TEST_F(MediaProcessorsTest, AnUploadAnnouncingTwoGigabytesIsNotCompleteAfterTenBytes) {
    TestSupport::TempDir media;
    mModel->Configuration.MediaPath = (media.Path() + "/").c_str();
    MediaTransferModel upload(1, 5, 0);
    upload.mMediaType = 1;
    upload.mMediaGroup.mContents.Add({});
    upload.mMediaGroup.mContents[0].mFileSize = static_cast<int32_t>(0x80000000u);
    mModel->Uploads.Add(upload);
    ZelvoRelay::Message::Media::MediaChunkMessage chunk(0, 5, 0, 0, 10, "0123456789");
    ZelvoRelay::Processor::Media::MediaChunkMessageProcessor().Process(&chunk, 1);
    EXPECT_EQ(mModel->Uploads.Count(), 1u);
    EXPECT_EQ(TestSupport::ReadFile(media.File("5_0")), "0123456789");
}

}  // namespace
