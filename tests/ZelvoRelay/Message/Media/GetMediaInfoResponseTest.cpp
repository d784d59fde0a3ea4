#include "ZelvoRelay/Message/Media/GetMediaInfoResponse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "System/Utility/Zip.h"
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

AtomFeed FeedOf(const Bytes& bytes) {
    // An exact-size copy, so that reading past the end is caught.
    std::unique_ptr<char[]> copy(new char[bytes.size()]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return GetMediaInfoResponse(MessageBytes(copy.get(), static_cast<int32_t>(bytes.size())))
        .GetAtom();
}

}  // namespace

TEST(GetMediaInfoResponseTest, TheListingIsTheCompactFeedAsOneZlibStream) {
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
        "inflater = zlib.decompressobj()\n"
        "text = inflater.decompress(data)\n"
        "assert inflater.eof and not inflater.unused_data\n"
        "sys.stdout.buffer.write(text)\n",
        std::string(bytes.begin() + 13, bytes.end()));
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, OneItemText);

    const AtomFeed feed = FeedOf(bytes);
    ASSERT_EQ(feed.mEntries.Count(), 1u);
    EXPECT_EQ(feed.mEntries[0].mTitle.mText, "cat & <dog>");
    EXPECT_EQ(feed.mEntries[0].mAuthors[0].mName, "bob");
    ASSERT_EQ(feed.mEntries[0].mExtensions.Count(), 1u);
    EXPECT_EQ(MediaRssSerializer().Deserialize(feed.mEntries[0].mExtensions[0]).mContents[0].mWidth,
              20);

    const Bytes empty = BytesOf(GetMediaInfoResponse(4, AtomFeed()));
    EXPECT_GT(empty.size(), 13u);
    EXPECT_EQ(FeedOf(empty).mEntries.Count(), 0u);
}

TEST(GetMediaInfoResponseTest, AListingThatDoesNotAddUpReadsAsAnEmptyFeed) {
    const Bytes good = BytesOf(GetMediaInfoResponse(4, OneItem()));
    ASSERT_EQ(FeedOf(good).mEntries.Count(), 1u);
    const uint32_t xmlLength = std::strlen(OneItemText);

    std::vector<Bytes> bad = {Bytes(good.begin(), good.begin() + 13),
                              Bytes(good.begin(), good.end() - 1)};  // D past the end
    for (uint32_t length : {xmlLength - 1, xmlLength + 1, 0u, 0xFFFFFFFFu}) {
        bad.push_back(good);
        PutU32(bad.back(), 5, length);
    }
    bad.push_back(good);
    PutU32(bad.back(), 9, 0xFFFFFFF0u);  // a length that would wrap an unsigned sum
    bad.push_back(good);
    bad.back()[good.size() - 20] ^= 0x55;

    // Text that inflates exactly but holds no element.
    const char text[] = "no element here";
    char deflated[64];
    uint32_t check = 0;
    const unsigned int size = System::Utility::Zip::Deflate(deflated, sizeof deflated, text,
                                                            sizeof text - 1, 9, check, false);
    Bytes noXml(good.begin(), good.begin() + 13);
    PutU32(noXml, 5, sizeof text - 1);
    PutU32(noXml, 9, size);
    noXml.insert(noXml.end(), deflated, deflated + size);
    bad.push_back(noXml);

    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_EQ(FeedOf(bad[i]).mEntries.Count(), 0u) << "case " << i;
    }
}
