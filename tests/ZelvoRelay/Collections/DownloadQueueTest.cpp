#include "ZelvoRelay/Collections/DownloadQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

using ZelvoRelay::Collections::DownloadQueue;

namespace {

using Files = std::vector<std::pair<uint32_t, uint32_t>>;

// The client's waiting downloads as (media id, resource id), taking them out in turn.
Files TakeAll(DownloadQueue& queue, uint32_t clientId) {
    Files taken;
    DownloadQueue::File next;
    while (queue.TakeNext(clientId, next)) {
        taken.emplace_back(next.mMediaId, next.mResourceId);
    }
    return taken;
}

}  // namespace

// Each client's downloads wait in the order it asked, whatever others ask in between; asking
// again for one that waits keeps it once, in its first place, so a client never has more
// waiting than there are files; one taken out may wait again; a leaving client's downloads
// go, and no one else's.
TEST(DownloadQueue, EachClientsDownloadsWaitInTheOrderAskedOnceEachUntilItLeaves) {
    DownloadQueue queue;
    // (client, media id); client 2 asks for previews, the others for photos.
    for (const Files::value_type& asked :
         Files{{1, 7}, {2, 7}, {1, 3}, {3, 9}, {1, 7}, {1, 0xFFFFFFFF}, {2, 3}}) {
        queue.Add(asked.first, asked.second, asked.first == 2 ? 1 : 0);
    }
    EXPECT_TRUE(queue.Contains(1, 3, 0));
    EXPECT_FALSE(queue.Contains(1, 3, 1));
    queue.RemoveClient(3);
    EXPECT_EQ(TakeAll(queue, 3), Files{});
    DownloadQueue::File next;
    ASSERT_TRUE(queue.TakeNext(1, next));
    EXPECT_EQ((Files{{next.mMediaId, next.mResourceId}}), (Files{{7, 0}}));
    // Once taken, the file may be asked for again, while others still wait: it waits anew,
    // behind them.
    EXPECT_FALSE(queue.Contains(1, 7, 0));
    queue.Add(1, 7, 0);
    EXPECT_EQ(TakeAll(queue, 1), (Files{{3, 0}, {0xFFFFFFFF, 0}, {7, 0}}));
    EXPECT_EQ(TakeAll(queue, 2), (Files{{7, 1}, {3, 1}}));
}
