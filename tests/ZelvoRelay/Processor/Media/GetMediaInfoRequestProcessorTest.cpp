#include "ZelvoRelay/Processor/Media/GetMediaInfoRequestProcessor.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "ZelvoRelay/Message/MessageTestSupport.h"
#include "support/Process.h"

// The deflate streams whose state zlib cannot allocate, as when memory runs out: none (0),
// every one (kEveryStream), or the n-th made from now on (n), and none after it. The others
// run zlib's own functions. Defined here, they take the place of zlib's for the code linked
// into this program.
constexpr int kEveryStream = -1;
std::atomic<int> gDeflateOutOfMemory{0};

template <typename Function, typename... Arguments>
int ZlibOrOutOfMemory(const char* name, Arguments... arguments) {
    static const auto zlib = reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
    const int failing = gDeflateOutOfMemory.load();
    if (failing > 0) {
        gDeflateOutOfMemory.store(failing - 1);
    }
    return failing == kEveryStream || failing == 1 ? Z_MEM_ERROR : zlib(arguments...);
}

extern "C" int deflateInit_(z_streamp stream, int level, const char* version, int size) {
    return ZlibOrOutOfMemory<decltype(deflateInit_)>("deflateInit_", stream, level, version, size);
}

extern "C" int deflateInit2_(z_streamp stream, int level, int method, int windowBits, int memLevel,
                             int strategy, const char* version, int size) {
    return ZlibOrOutOfMemory<decltype(deflateInit2_)>(
        "deflateInit2_", stream, level, method, windowBits, memLevel, strategy, version, size);
}

namespace {

using MessageTestSupport::Bytes;
using MessageTestSupport::BytesOf;
using ZelvoRelay::Collections::MediaCollection;
using ZelvoRelay::Processor::Media::GetMediaInfoRequestProcessor;

using ZelvoRelay::Message::Media::GetMediaInfoResponse;

// An item as an upload or "media.xml" leaves it: every third one with a foreign element of
// its own, titles with markup, a line feed, a control byte and bytes that are not UTF-8.
ZelvoRelay::MVC::Model::MediaModel Item(uint32_t id, const std::string& title) {
    ZelvoRelay::MVC::Model::MediaModel item;
    item.mMediaId = id;
    item.mId = std::to_string(id).c_str();
    item.mTitle.mText = (title + " & <b>\"x\"</b>\n\x01\xff\xc3\xa9").c_str();
    item.mPublished = "2026/12/07 17:32:05";
    item.mAuthors.Add(System::Resource::Feeds::AtomPersonConstruct());
    item.mAuthors[0].mName = id % 2 == 0 ? "bob" : "";
    for (int32_t size : {3000 + static_cast<int32_t>(id), 300}) {
        System::Resource::Feeds::MediaContent content;
        content.mFileSize = size;
        content.mWidth = size / 10;
        content.mHeight = size / 20;
        item.mMediaGroup.mContents.Add(content);
    }
    if (id % 3 == 0) {
        System::Xml::XmlNode extension;
        extension.mName = "x:note";
        extension.mValue = "kept";
        item.mExtensions.Add(extension);
    }
    return item;
}

// The compact text of the feed of count items from startId, serialized whole, for comparison.
std::string Written(const MediaCollection& catalogue, uint32_t startId, uint32_t count) {
    System::Resource::Feeds::AtomFeed feed;
    auto* node = catalogue.FindStart(startId);
    for (uint32_t taken = 0; node != nullptr && taken < count; ++taken) {
        System::Resource::Feeds::AtomEntry entry(node->mValue);
        entry.mExtensions.Add(
            System::Resource::Feeds::MediaRssSerializer().Serialize(node->mValue.mMediaGroup));
        feed.mEntries.Add(entry);
        node = MediaCollection::Previous(node);
    }
    const System::String text =
        System::Resource::Feeds::AtomSerializer().Serialize(feed).ToString(false);
    return std::string(text.CStr(), text.Length());
}

// The text a listing carries, as python's zlib inflates it: its lengths must hold and the
// stream end with its checksum right where the frame ends; "bad" otherwise.
std::string Listed(const Bytes& bytes) {
    const auto result = TestSupport::RunPython(
        "import sys, zlib\n"
        "data = sys.stdin.buffer.read()\n"
        "length, deflated = int.from_bytes(data[5:9], 'little'), int.from_bytes(data[9:13], "
        "'little')\n"
        "inflater = zlib.decompressobj()\n"
        "text = inflater.decompress(data[13:])\n"
        "ok = deflated == len(data) - 13 and inflater.eof and not inflater.unused_data\n"
        "sys.stdout.buffer.write(text if ok and len(text) == length else b'bad')\n",
        std::string(bytes.begin(), bytes.end()));
    return result.exitCode == 0 ? result.output : "bad";
}

// The bytes of the answer to a listing of count items from startId.
Bytes Answer(GetMediaInfoRequestProcessor& processor, MediaCollection& catalogue,
             uint32_t startId = 0xFFFFFFFF, uint32_t count = 255) {
    std::unique_ptr<ZelvoRelay::Message::Media::GetMediaInfoResponse> answer(
        processor.Answer(catalogue, 4, startId, count));
    return BytesOf(*answer);
}

}  // namespace

// A page is the whole feed of its items serialized, compressed as one zlib stream, whether
// made anew, of entries and runs kept or answered again from the pages kept, for as long as
// the catalogue stays the same; after any change, even one that leaves the same ids (an item
// removed and another given its id), the page shows the catalogue as it is.
TEST(GetMediaInfoRequestProcessorTest, APageListedAgainIsTheCatalogueAsItIsNow) {
    MediaCollection catalogue;
    for (uint32_t id = 1; id <= 100; ++id) {
        catalogue.Add(Item(id, "photo " + std::to_string(id)));
    }
    GetMediaInfoRequestProcessor kept;
    const auto fresh = [&catalogue](uint32_t startId, uint32_t count) {
        return Written(catalogue, startId, count);
    };
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Listed(Answer(kept, catalogue)), fresh(0xFFFFFFFF, 255));
        EXPECT_EQ(Listed(Answer(kept, catalogue, 70, 50)), fresh(70, 50));
        EXPECT_EQ(Listed(Answer(kept, catalogue, 20, 10)), fresh(20, 10));
        EXPECT_EQ(Listed(Answer(kept, catalogue, 20, 5)), fresh(20, 5));
    }
    EXPECT_NE(Answer(kept, catalogue, 20, 10), Answer(kept, catalogue, 20, 5));

    // Item 64 stands right before the run of ids 32 to 63, and item 40 within it.
    for (uint32_t changed : {64, 40}) {
        const Bytes before = Answer(kept, catalogue);
        ASSERT_TRUE(catalogue.RemoveMedia(changed));
        catalogue.Add(Item(changed, "another photo"));
        EXPECT_NE(Answer(kept, catalogue), before);
        EXPECT_EQ(Listed(Answer(kept, catalogue)), fresh(0xFFFFFFFF, 255));
        EXPECT_EQ(Listed(Answer(kept, catalogue, 70, 50)), fresh(70, 50));
    }
    catalogue.RemoveAll();
    EXPECT_EQ(Listed(Answer(kept, catalogue)), fresh(0xFFFFFFFF, 255));
}

// An item changed long before the next listing, behind more changes than the catalogue
// remembers, is not listed with the text it had.
TEST(GetMediaInfoRequestProcessorTest, AnItemChangedBehindManyChangesIsListedAsItIsNow) {
    MediaCollection catalogue;
    for (uint32_t id = 1; id <= 10; ++id) {
        catalogue.Add(Item(id, "photo " + std::to_string(id)));
    }
    GetMediaInfoRequestProcessor kept;
    Answer(kept, catalogue);
    ASSERT_TRUE(catalogue.RemoveMedia(5));
    catalogue.Add(Item(5, "another photo"));
    for (size_t change = 0; change < MediaCollection::kRememberedChanges; ++change) {
        catalogue.Add(Item(11, "brief"));
        ASSERT_TRUE(catalogue.RemoveMedia(11));
    }
    EXPECT_EQ(Listed(Answer(kept, catalogue)), Written(catalogue, 0xFFFFFFFF, 255));
}

// A listing that zlib cannot compress for lack of memory fails alone, as a failed allocation
// does (sent, it came as an empty frame, an empty catalogue to a member), and no piece of it is
// kept, so the same pages and pages holding the same runs are
// made afresh once memory is back, as is the page of an empty catalogue. Before, the empty
// pieces and pages were kept as good, and every later page holding those items came empty.
// What fails is the page of the empty catalogue, then the feed's start and end (made with the
// first page of items), then the first run of a page.
TEST(GetMediaInfoRequestProcessorTest, AListingThatCouldNotBeCompressedIsNotKept) {
    MediaCollection catalogue;
    GetMediaInfoRequestProcessor processor;
    uint32_t id = 0;
    for (const uint32_t items : {0, 100, 101}) {
        while (id < items) {
            ++id;
            catalogue.Add(Item(id, "photo " + std::to_string(id)));
        }
        gDeflateOutOfMemory = kEveryStream;
        EXPECT_THROW(Answer(processor, catalogue), std::bad_alloc) << items << " items";
        gDeflateOutOfMemory = 0;
        EXPECT_TRUE(Listed(Answer(processor, catalogue)) == Written(catalogue, 0xFFFFFFFF, 255))
            << items << " items";
        EXPECT_TRUE(Listed(Answer(processor, catalogue, 70, 50)) == Written(catalogue, 70, 50))
            << items << " items";
    }
}

// The same when a single piece of a page could not be compressed, whichever it is: the feed's
// start or end, the run at the page's top, deflated for that page alone, or a run it holds
// whole, kept for every page that holds it. Before, a run held whole whose compression failed
// was kept, and every later page holding it came empty.
TEST(GetMediaInfoRequestProcessorTest, APageOneOfWhosePiecesCouldNotBeCompressedKeepsNone) {
    MediaCollection catalogue;
    for (uint32_t id = 1; id <= 101; ++id) {
        catalogue.Add(Item(id, "photo " + std::to_string(id)));
    }
    // Past the page's last stream, the failing one is never made and the page is answered.
    constexpr int kMostStreams = 16;
    int failing = 1;
    for (; failing <= kMostStreams; ++failing) {
        GetMediaInfoRequestProcessor processor;
        gDeflateOutOfMemory = failing;
        bool failed = false;
        try {
            Answer(processor, catalogue);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
        gDeflateOutOfMemory = 0;
        if (!failed) {
            break;
        }
        EXPECT_TRUE(Listed(Answer(processor, catalogue)) == Written(catalogue, 0xFFFFFFFF, 255))
            << "stream " << failing;
        EXPECT_TRUE(Listed(Answer(processor, catalogue, 70, 50)) == Written(catalogue, 70, 50))
            << "stream " << failing;
    }
    // The feed's start and end, the run of ids 96 to 101, and the three runs below it.
    EXPECT_EQ(failing, 7);
}
