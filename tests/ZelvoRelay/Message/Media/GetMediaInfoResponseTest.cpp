#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "ZelvoRelay/Message/MessageTestSupport.h"
#include "support/Process.h"

using namespace System::Resource::Feeds;
using namespace MessageTestSupport;
using ZelvoRelay::Message::Media::GetMediaInfoResponse;

namespace {

// The compact text of OneItem(), as the layouts of feed, entry and group give it.
const char* const OneItemText =
    "<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><author><name>bob</name></author>"
    "<id>7</id><title>cat &#38; &#60;dog&#62;</title>"
    "<group xmlns=\"http://search.yahoo.com/mrss/\"><content fileSize=\"3000\" height=\"10\" "
    "width=\"20\" /></group></entry></feed>";

AtomFeed OneItem() {
    AtomEntry entry;
    entry.mId = "7";
    entry.mTitle.mText = "cat & <dog>";
    entry.mAuthors.Add(AtomPersonConstruct());
    entry.mAuthors[0].mName = "bob";
    MediaGroup group;
    group.mContents.Add(MediaContent());
    group.mContents[0].mFileSize = 3000;
    group.mContents[0].mWidth = 20;
    group.mContents[0].mHeight = 10;
    entry.mExtensions.Add(MediaRssSerializer().Serialize(group));
    AtomFeed feed;
    feed.mEntries.Add(entry);
    return feed;
}

void PutU32(Bytes& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

}  // namespace

TEST(GetMediaInfoResponseTest, TheListingIsTheCompactFeedDeflatedAtLevelNine) {
    const Bytes bytes = BytesOf(GetMediaInfoResponse(4, OneItem()));
    ASSERT_GT(bytes.size(), 13u);
    const size_t deflated = bytes.size() - 13;
    Bytes header = FromHex("97 04 00 00 00 00 00 00 00 00 00 00 00");
    PutU32(header, 5, std::strlen(OneItemText));
    PutU32(header, 9, deflated);
    EXPECT_EQ(ToHex(Bytes(bytes.begin(), bytes.begin() + 13)), ToHex(header));

    const auto result = TestSupport::RunPython(
        "import sys, zlib\n"
        "data = sys.stdin.buffer.read()\n"
        "text = zlib.decompress(data)\n"
        "sys.stdout.buffer.write(text)\n"
        "print('|level 9' if zlib.compress(text, 9) == data else '|other level')\n",
        std::string(bytes.begin() + 13, bytes.end()));
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, std::string(OneItemText) + "|level 9\n");
}
