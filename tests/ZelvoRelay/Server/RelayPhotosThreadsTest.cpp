#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "System/EventManager.h"
#include "ZelvoRelay/Processor/Media/AddMediaRequestProcessor.h"
#include "support/EventLog.h"
#include "support/Process.h"
#include "support/RelayTestServer.h"
#include "support/RelayWire.h"
#include "support/TempDir.h"
#include "support/Text.h"
#include "support/Wait.h"

namespace {

using TestSupport::ExpectNext;
using TestSupport::PythonLines;
using TestSupport::ReadFile;
using TestSupport::RelayTestRoom;
using TestSupport::RelayTestServer;
using Member = RelayTestRoom::Member;
using Model = ZelvoRelay::MVC::Model::ZelvoRelayModel;
using Privilege = ZelvoRelay::MVC::Model::UserPrivilegeModel::UserPrivilege;
using Right = ZelvoRelay::MVC::Model::UserPrivilegeModel::AccessRight;
namespace Wire = RelayWire;

// Inflates a listing's payload (on standard input) with zlib, checks both lengths and
// prints one line per entry: id, title, author, then fileSize,width,height per content.
const char* const kListing = R"(
import re, struct, sys, zlib, xml.etree.ElementTree as ET
data = sys.stdin.buffer.read()
length, deflated = struct.unpack('<II', data[:8])
text = zlib.decompress(data[8:])
assert len(text) == length and len(data) == 8 + deflated
atom, media = '{http://www.w3.org/2005/Atom}', '{http://search.yahoo.com/mrss/}'
for entry in ET.fromstring(text).findall(atom + 'entry'):
    assert re.fullmatch(r'\d{4}/\d\d/\d\d \d\d:\d\d:\d\d', entry.findtext(atom + 'published'))
    print(entry.findtext(atom + 'id'), entry.findtext(atom + 'title'),
          entry.findtext(atom + 'author/' + atom + 'name'),
          *[','.join(c.get(k) for k in ('fileSize', 'width', 'height'))
            for c in entry.iter(media + 'content')])
)";

// The counts the relay server gives as it stops with photos still to make.
class MakingLog : public TestSupport::EventLog {
  public:
    void OnMakingPhotos(uint32_t count) {
        std::lock_guard<std::mutex> lock(mMutex);
        mCounts.push_back(count);
    }

    std::vector<uint32_t> mCounts;
};

class RelayPhotosTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mServer.Room().MaxClients = 10;
        RelayTestServer::SetPassword(mServer.Room().AdminAccount, "boss");
        RelayTestServer::SetPassword(mServer.Room().ModeratorAccount, "mod");
        // Moderators may see photos but not post them.
        mServer.Room().ModeratorAccount.SetAccessRight(Privilege::Photos, Right::Read);
        auto& configuration = Model::Instance()->Configuration;
        configuration.MediaPath = System::String((mMedia.Path() + "/").c_str());
        configuration.MaxMediaSize = 100000;
        configuration.MediaPreviewWidth = 40;
        configuration.MediaPreviewHeight = 30;
        // Ids start at 0 on an empty catalogue, as at start-up, whatever ran before.
        ZelvoRelay::MVC::Model::MediaModel::SetMediaIdCounter(0);
        ASSERT_TRUE(mServer.Start());
        mRoom = std::make_unique<RelayTestRoom>(mServer.Port());
        mAlice = &mRoom->Join("alice");
    }

    std::string File(uint32_t id, int resource) const {
        return mMedia.File(std::to_string(id) + "_" + std::to_string(resource));
    }

    // A width x height picture in PIL's format ("JPEG" or "PNG"): red above, noise below.
    static std::string Photo(const std::string& format, int width, int height) {
        return TestSupport::FromHex(PythonLines(
            "import io, os; from PIL import Image\nw, h, f = " + std::to_string(width) + ", " +
            std::to_string(height) + ", '" + format +
            "'\nb = io.BytesIO(); Image.frombytes('RGB', (w, h), b'\\xff\\0\\0' * (w * (h // 2)) + "
            "os.urandom(w * (h - h // 2) * 3)).save(b, f)\nprint(b.getvalue().hex())\n")[0]);
    }

    // Announces bytes as an upload of member and, when accepted, sends them in chunks of
    // 1000 bytes; the answer's error type and media id.
    static std::pair<uint8_t, uint32_t> Upload(Member& member, const std::string& bytes,
                                               const std::string& name, uint8_t type = 1) {
        member.client->SendFrame(Wire::AddMediaRequest(9, type, bytes.size(), name));
        const Wire::Parsed answer = Wire::Parse(member.client->NextFrame().value_or(""));
        EXPECT_EQ(answer.type, Wire::AddMediaAnswer);
        EXPECT_EQ(answer.payload.substr(0, 1), Wire::U8(9));
        const uint8_t error = answer.payload.size() == 6 ? answer.payload[1] : 255;
        const uint32_t id = error == 0 ? Wire::ReadU32(answer.payload, 2) : 0;
        for (size_t at = 0; error == 0 && at < bytes.size(); at += 1000) {
            member.client->SendFrame(Wire::Chunk(id, 0, 0, bytes.substr(at, 1000)));
        }
        return {error, id};
    }

    // The catalogue from the newest item, one line per entry. The answer comes after
    // everything member sent before has been handled.
    static std::vector<std::string> List(Member& member) {
        member.client->SendFrame(
            Wire::Message(Wire::GetMediaInfo, 0, Wire::U32(0xFFFFFFFF) + Wire::U8(255)));
        const Wire::Parsed answer = Wire::Parse(member.client->NextFrame().value_or(""));
        EXPECT_EQ(answer.type, Wire::MediaInfo);
        return PythonLines(kListing, answer.payload);
    }

    // Downloads size bytes of a file, checking each chunk's header.
    static std::string Download(Member& member, uint32_t id, uint8_t resource, size_t size) {
        member.client->SendFrame(Wire::MediaFile(Wire::GetMedia, id, resource));
        ExpectNext(*member.client, Wire::Message(Wire::GetMediaAnswer, member.id,
                                                 Wire::U8(0) + Wire::U32(id) + Wire::U8(resource)));
        std::string received;
        while (received.size() < size) {
            const std::string frame = member.client->NextFrame().value_or("");
            const size_t n = std::min<size_t>(4096, size - received.size());
            EXPECT_EQ(frame.substr(0, 16), Wire::Chunk(id, resource, received.size(), "")
                                               .replace(1, 4, Wire::U32(member.id))
                                               .replace(14, 2, Wire::U16(n)));
            if (frame.size() <= 16) {
                break;
            }
            received += frame.substr(16);
        }
        return received;
    }

    // Waits until the file of upload id holds all its bytes, which it does once its last
    // chunk has been handled.
    bool Received(uint32_t id, size_t size) const {
        const std::string path = File(id, 0);
        return TestSupport::WaitUntil([&path, size] {
            std::error_code error;
            return std::filesystem::file_size(path, error) == size;
        });
    }

    // A 4000 x 3000 PNG of one colour: many pixels, so that it takes a while to decode,
    // in few bytes, so that it uploads at once.
    static std::string BigPng() {
        const std::string png = TestSupport::FromHex(
            PythonLines("import io; from PIL import Image\nb = io.BytesIO()\n"
                        "Image.new('RGB', (4000, 3000), (200, 40, 40)).save(b, 'PNG')\n"
                        "print(b.getvalue().hex())\n")[0]);
        EXPECT_LT(png.size(), 100000u);
        return png;
    }

    // Waits until the photo of upload id is being made: the photo worker has it open
    // beside the upload's own stream.
    bool BeingMade(uint32_t id) const {
        const std::string path = std::filesystem::canonical(File(id, 0));
        return TestSupport::WaitUntil(
            [&path] { return TestSupport::DescriptorsOpenOn(getpid(), path) == 2; });
    }

    // The content elements of catalogue item id; none when there is no such item.
    static std::vector<System::Resource::Feeds::MediaContent> Contents(uint32_t id) {
        Model* model = Model::Instance();
        std::vector<System::Resource::Feeds::MediaContent> contents;
        model->Media.mMonitor.Enter();
        if (const auto* item = model->Media.FindMedia(id)) {
            const auto& group = item->mValue.mMediaGroup.mContents;
            for (uint32_t i = 0; i < group.Count(); ++i) {
                contents.push_back(group[i]);
            }
        }
        model->Media.mMonitor.Exit();
        return contents;
    }

    // The names of the files in the media folder.
    std::set<std::string> MediaFiles() const {
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(mMedia.Path())) {
            files.insert(entry.path().filename());
        }
        return files;
    }

    // The photo worker, stopped until Start, keeps the photos of complete uploads unmade
    // for as long as a test needs.
    static System::Threading::ThreadManager& PhotoWorkers() {
        return Model::Instance()->PhotoWorkers;
    }

    RelayTestServer mServer;
    TestSupport::TempDir mMedia;
    std::unique_ptr<RelayTestRoom> mRoom;
    Member* mAlice{nullptr};
};

TEST_F(RelayPhotosTest, UploadedPhotosAreListedPreviewedAndDownloaded) {
    const std::string jpeg = Photo("JPEG", 200, 150);
    const std::string png = Photo("PNG", 120, 90);
    EXPECT_EQ(Upload(*mAlice, jpeg, "a.jpg"), std::make_pair(uint8_t{0}, uint32_t{0}));
    EXPECT_EQ(Upload(*mAlice, png, "b.png"), std::make_pair(uint8_t{0}, uint32_t{1}));
    const std::vector<std::string> listing = List(*mAlice);
    const auto size = [this](uint32_t id, int resource) {
        return std::to_string(std::filesystem::file_size(File(id, resource)));
    };
    EXPECT_EQ(listing, (std::vector<std::string>{
                           "1 b.png alice " + size(1, 0) + ",120,90 " + size(1, 1) + ",40,30",
                           "0 a.jpg alice " + size(0, 0) + ",200,150 " + size(0, 1) + ",40,30"}));
    EXPECT_EQ(ReadFile(File(0, 0)), jpeg);
    EXPECT_EQ(ReadFile(File(1, 0)), png);
    // Each preview opens at the configured size with the picture's top still on top.
    EXPECT_EQ(PythonLines("from PIL import Image\nfor p in ['" + File(0, 1) + "', '" + File(1, 1) +
                          "']:\n    i = Image.open(p); print(i.format, *i.size, "
                          "i.convert('RGB').getpixel((20, 2))[0] > 200)\n"),
              (std::vector<std::string>{"JPEG 40 30 True", "PNG 40 30 True"}));

    // Anyone connected may download, in chunks of 4096 bytes.
    Member& outsider = mRoom->Connect();
    EXPECT_EQ(Download(outsider, 0, 0, jpeg.size()), jpeg);
    const std::string preview = ReadFile(File(1, 1));
    EXPECT_EQ(Download(*mAlice, 1, 1, preview.size()), preview);
}

// Previews made from a scaled JPEG decoding and from a 16-bit PNG cut to 8 bits as it is
// read, against PIL's bicubic resize of the whole picture.
TEST_F(RelayPhotosTest, PreviewsOfLargePhotosMatchAResizeOfTheWholePicture) {
    const std::vector<std::string> photos = PythonLines(R"(
import io, subprocess
from PIL import Image
w, h = 800, 600
im = Image.frombytes('RGB', (w, h), bytes(v for y in range(h) for x in range(w)
                                         for v in (x * 255 // w, y * 255 // h, (x + y) * 255 // (w + h))))
jpeg = io.BytesIO()
im.save(jpeg, 'JPEG', quality=95)
ppm = io.BytesIO()
im.save(ppm, 'PPM')
png = subprocess.run(['/usr/bin/convert', 'ppm:-', '-depth', '16', 'PNG48:-'], input=ppm.getvalue(),
                     check=True, capture_output=True).stdout
print(jpeg.getvalue().hex())
print(png.hex())
)");
    ASSERT_EQ(photos.size(), 2u);
    for (uint32_t id = 0; id < 2; ++id) {
        EXPECT_EQ(Upload(*mAlice, TestSupport::FromHex(photos[id]), "p").second, id);
    }
    ASSERT_EQ(List(*mAlice).size(), 2u);
    // The mean difference per sample, and the largest away from the edges, where the
    // cubic step counts the pixels outside the picture as black.
    EXPECT_EQ(PythonLines(R"(
import sys
from PIL import Image, ImageChops
paths = sys.stdin.read().split()
for full, preview in (paths[0:2], paths[2:4]):
    ours = Image.open(preview)
    reference = Image.open(full).convert('RGB').resize(ours.size, Image.BICUBIC)
    d = list(ImageChops.difference(ours.convert('RGB'), reference).getdata())
    samples = [v for p in d for v in p]
    inner = [v for i, p in enumerate(d) if 0 < i % ours.size[0] < ours.size[0] - 1
             and 0 < i // ours.size[0] < ours.size[1] - 1 for v in p]
    print(ours.format, *ours.size, sum(samples) / len(samples) < 3, max(inner) < 10)
)",
                          {File(0, 0), File(0, 1), File(1, 0), File(1, 1)}),
              (std::vector<std::string>{"JPEG 40 30 True True", "PNG 40 30 True True"}));
}

TEST_F(RelayPhotosTest, RefusedStoppedAndUndecodableUploadsLeaveNoItemAndNoFile) {
    const std::string jpeg = Photo("JPEG", 64, 48);
    // Neither a connection that has not joined nor a member without the right to post
    // may upload; refusals draw no id.
    EXPECT_EQ(Upload(mRoom->Connect(), jpeg, "x").first, 1);
    EXPECT_EQ(Upload(mRoom->Join("mallory", RelayTestServer::Digest("mod"), 1), jpeg, "x").first,
              1);
    EXPECT_EQ(Upload(*mAlice, std::string(100001, 'x'), "x").first, 2);
    EXPECT_EQ(Upload(*mAlice, jpeg, "x", 2).first, 3);
    EXPECT_EQ(Upload(*mAlice, "GIF89a" + jpeg, "gif"), std::make_pair(uint8_t{0}, uint32_t{0}));
    EXPECT_EQ(Upload(*mAlice, jpeg.substr(0, 3), "short").second, 1u);
    // A PNG whose header reads but whose image data is damaged.
    const std::string damaged = Photo("PNG", 8, 8).substr(0, 41) + std::string(100, 'x');
    EXPECT_EQ(Upload(*mAlice, damaged, "damaged").second, 2u);

    // Stopped half-way: later chunks are ignored.
    mAlice->client->SendFrame(Wire::AddMediaRequest(1, 1, 2000, "stopped"));
    ExpectNext(*mAlice->client, Wire::Message(Wire::AddMediaAnswer, mAlice->id,
                                              Wire::U8(1) + Wire::U8(0) + Wire::U32(3)));
    mAlice->client->SendFrame(Wire::Chunk(3, 0, 0, std::string(1000, 'x')));
    mAlice->client->SendFrame(Wire::MediaFile(Wire::StopMedia, 3, 0));
    mAlice->client->SendFrame(Wire::Chunk(3, 0, 1000, std::string(1000, 'x')));

    EXPECT_TRUE(List(*mAlice).empty());
    EXPECT_TRUE(std::filesystem::is_empty(mMedia.Path()));
}

// Each upload in progress holds a file open: one member may not take every descriptor.
TEST_F(RelayPhotosTest, AMemberHasABoundedNumberOfUploadsInProgress) {
    const uint32_t most =
        ZelvoRelay::Processor::Media::AddMediaRequestProcessor::kMaxUploadsPerClient;
    const auto announce = [](Member& member, uint8_t error, uint32_t id) {
        member.client->SendFrame(Wire::AddMediaRequest(1, 1, 10, "x"));
        ExpectNext(*member.client, Wire::Message(Wire::AddMediaAnswer, member.id,
                                                 Wire::U8(1) + Wire::U8(error) + Wire::U32(id)));
    };
    for (uint32_t id = 0; id < most; ++id) {
        announce(*mAlice, 0, id);
    }
    // Refused as a file that cannot be created, without drawing an id.
    announce(*mAlice, 4, 0);
    announce(mRoom->Join("bob"), 0, most);
    mAlice->client->SendFrame(Wire::MediaFile(Wire::StopMedia, 0, 0));
    announce(*mAlice, 0, most + 1);
}

TEST_F(RelayPhotosTest, OnlyMembersWithTheRightRemovePhotos) {
    const uint32_t id = Upload(*mAlice, Photo("PNG", 50, 50), "p").second;
    const auto remove = [id](Member& member, uint8_t expected) {
        member.client->SendFrame(Wire::Message(Wire::RemoveMedia, 0, Wire::U32(id)));
        ExpectNext(*member.client, Wire::Message(Wire::RemoveMediaAnswer, member.id,
                                                 Wire::U8(expected) + Wire::U32(id)));
    };
    remove(*mAlice, 1);
    EXPECT_EQ(List(*mAlice).size(), 1u);
    Member& boss = mRoom->Join("boss", RelayTestServer::Digest("boss"), 0);
    remove(boss, 0);
    remove(boss, 2);
    EXPECT_TRUE(List(boss).empty());
    // The files stay until a save no longer lists the item.
    EXPECT_FALSE(std::filesystem::is_empty(mMedia.Path()));
}

TEST_F(RelayPhotosTest, ALeavingClientsDownloadsEndAndItsPartialUploadsGo) {
    // Larger than what the sockets' buffers can hold while the client does not read.
    const std::string big(8 << 20, 'b');
    TestSupport::WriteFile(File(7, 0), big);
    Model* model = Model::Instance();
    ZelvoRelay::MVC::Model::MediaModel item;
    item.mMediaId = 7;
    model->Media.mMonitor.Enter();
    model->Media.Add(item);
    model->Media.mMonitor.Exit();

    Member& leaver = mRoom->Join("leaver");
    leaver.client->SetReceiveBuffer(4096);
    leaver.client->SendFrame(Wire::AddMediaRequest(1, 1, 2000, "half"));
    ExpectNext(*leaver.client, Wire::Message(Wire::AddMediaAnswer, leaver.id,
                                             Wire::U8(1) + Wire::U8(0) + Wire::U32(0)));
    leaver.client->SendFrame(Wire::Chunk(0, 0, 0, std::string(1000, 'x')));
    ASSERT_TRUE(std::filesystem::exists(File(0, 0)));
    leaver.client->SendFrame(Wire::MediaFile(Wire::GetMedia, 7, 0));
    ExpectNext(*leaver.client, Wire::Message(Wire::GetMediaAnswer, leaver.id,
                                             Wire::U8(0) + Wire::U32(7) + Wire::U8(0)));
    mRoom->Leave(leaver);
    EXPECT_TRUE(TestSupport::WaitUntil([model] {
        model->Downloads.mMonitor.Enter();
        const uint32_t count = model->Downloads.Count();
        model->Downloads.mMonitor.Exit();
        return count == 0;
    }));
    EXPECT_TRUE(TestSupport::WaitUntil([this] { return !std::filesystem::exists(File(0, 0)); }));
    EXPECT_EQ(Download(*mAlice, 7, 0, big.size()), big);
}

TEST_F(RelayPhotosTest, WhatAnUploaderSendsAfterItsPhotoWaitsForItWhileTheRoomChats) {
    Member& bob = mRoom->Join("bob");
    Member& carol = mRoom->Join("carol");
    PhotoWorkers().Stop(true);
    EXPECT_EQ(Upload(*mAlice, Photo("PNG", 120, 90), "p.png").second, 0u);
    mAlice->client->SendFrame(
        Wire::Message(Wire::GetMediaInfo, 0, Wire::U32(0xFFFFFFFF) + Wire::U8(255)));
    mAlice->client->SendFrame(Wire::ChatText("after"));
    for (const char* text : {"one", "two"}) {
        bob.client->SendFrame(Wire::ChatText(text));
        ExpectNext(*carol.client, Wire::Message(Wire::Chat, bob.id, Wire::Text(text)));
        ExpectNext(*mAlice->client, Wire::Message(Wire::Chat, bob.id, Wire::Text(text)));
    }

    PhotoWorkers().Start();
    // The room goes on while the photo is made.
    bob.client->SendFrame(Wire::ChatText("three"));
    const std::string three = Wire::Message(Wire::Chat, bob.id, Wire::Text("three"));
    const std::string after = Wire::Message(Wire::Chat, mAlice->id, Wire::Text("after"));
    // Bob's chat and alice's kept-back one race each other to carol.
    const std::set<std::string> atCarol = {carol.client->NextFrame().value_or(""),
                                           carol.client->NextFrame().value_or("")};
    EXPECT_EQ(atCarol, (std::set<std::string>{three, after}));
    // The listing comes after the photo became an item, the chat after the listing.
    std::optional<std::string> frame = mAlice->client->NextFrame();
    if (frame && Wire::Parse(*frame).type == Wire::Chat) {
        EXPECT_EQ(*frame, three);
        frame = mAlice->client->NextFrame();
    }
    const Wire::Parsed listing = Wire::Parse(frame.value_or(""));
    EXPECT_EQ(listing.type, Wire::MediaInfo);
    const std::vector<std::string> items = PythonLines(kListing, listing.payload);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].substr(0, 14), "0 p.png alice ");
    ExpectNext(*bob.client, after);
}

// A client that closes leaves the room only once what it sent has been handled: a
// complete upload still becomes an item, and a last chat still reaches the room.
TEST_F(RelayPhotosTest, AnUploaderLeavingWhileItsPhotoIsMadeLeavesOnlyOnceItIsMade) {
    Member& bob = mRoom->Join("bob");
    Member& leaver = mRoom->Join("leaver");
    PhotoWorkers().Stop(true);
    const std::string png = Photo("PNG", 120, 90);
    EXPECT_EQ(Upload(leaver, png, "kept").second, 0u);
    ASSERT_TRUE(Received(0, png.size()));
    leaver.client->SendFrame(Wire::ChatText("bye"));
    leaver.client->Close();
    leaver.open = false;
    PhotoWorkers().Start();

    for (Member* other : {mAlice, &bob}) {
        ExpectNext(*other->client, Wire::Message(Wire::Chat, leaver.id, Wire::Text("bye")));
    }
    mRoom->ExpectLeft(leaver);
    const std::vector<std::string> items = List(bob);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].substr(0, 14), "0 kept leaver ");
}

// The photo of a complete upload counts among what its uploader sent: an uploader that
// closes right after its last chunk leaves only once the photo is an item. Counted
// nowhere, it let the uploader leave at once, and its upload went with it.
TEST_F(RelayPhotosTest, AnUploaderClosingRightAfterItsLastChunkKeepsItsPhoto) {
    Member& bob = mRoom->Join("bob");
    Member& leaver = mRoom->Join("leaver");
    PhotoWorkers().Stop(true);
    const std::string png = Photo("PNG", 120, 90);
    EXPECT_EQ(Upload(leaver, png, "last").second, 0u);
    ASSERT_TRUE(Received(0, png.size()));
    leaver.client->Close();
    leaver.open = false;
    PhotoWorkers().Start();

    mRoom->ExpectLeft(leaver);
    const std::vector<std::string> items = List(bob);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].substr(0, 14), "0 last leaver ");
    EXPECT_EQ(ReadFile(File(0, 0)), png);
    EXPECT_TRUE(std::filesystem::exists(File(0, 1)));
}

// The server stops while a photo is being made: the stop waits for it, and it becomes an
// item of the catalogue that is saved at exit, with both its files and no other.
TEST_F(RelayPhotosTest, AStopWhileAPhotoIsMadeKeepsItsItem) {
    const std::string png = BigPng();
    EXPECT_EQ(Upload(*mAlice, png, "big").second, 0u);
    ASSERT_TRUE(BeingMade(0));

    Model::Instance()->Server.Disconnect();
    const auto contents = Contents(0);
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents[0].mFileSize, static_cast<int32_t>(png.size()));
    EXPECT_EQ(contents[0].mWidth, 4000);
    EXPECT_EQ(contents[1].mWidth, 40);
    EXPECT_EQ(MediaFiles(), (std::set<std::string>{"0_0", "0_1"}));
    EXPECT_EQ(contents[1].mFileSize, static_cast<int32_t>(std::filesystem::file_size(File(0, 1))));
}

// The photos of complete uploads still waiting behind the one being made when the server
// stops are made before it stops, and each becomes an item with exactly its two files.
// Before, they were thrown away with their files.
TEST_F(RelayPhotosTest, AStopMakesEveryCompletePhotoStillWaitingIntoAnItem) {
    Member& bob = mRoom->Join("bob");
    Member& carol = mRoom->Join("carol");
    Member& dave = mRoom->Join("dave");
    Member& erin = mRoom->Join("erin");
    PhotoWorkers().Stop(true);
    const std::vector<std::string> photos = {BigPng(), Photo("PNG", 120, 90), Photo("JPEG", 64, 48),
                                             Photo("PNG", 50, 50)};
    Member* uploaders[] = {mAlice, &bob, &carol, &dave};
    // One after the other, so that they wait for the photo worker in this order.
    for (uint32_t id = 0; id < photos.size(); ++id) {
        EXPECT_EQ(Upload(*uploaders[id], photos[id], "p" + std::to_string(id)).second, id);
        ASSERT_TRUE(Received(id, photos[id].size()));
    }
    // Answered once the last chunk has been handled, which queued the last photo.
    EXPECT_TRUE(List(erin).empty());

    PhotoWorkers().Start();
    ASSERT_TRUE(BeingMade(0));
    MakingLog making;
    System::EventManager events;
    events.Add(Model::Instance()->Server.OnMakingPhotos, &making, &MakingLog::OnMakingPhotos);
    Model::Instance()->Server.Disconnect();
    // Said once, as the stop begins: the photo being made and those behind it, unless the
    // first was done by then.
    const std::vector<uint32_t> said = making.Get(making.mCounts);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_GE(said[0], 3u);
    EXPECT_LE(said[0], 4u);

    std::set<std::string> files;
    for (uint32_t id = 0; id < photos.size(); ++id) {
        SCOPED_TRACE(id);
        const auto contents = Contents(id);
        ASSERT_EQ(contents.size(), 2u);
        EXPECT_EQ(contents[0].mFileSize, static_cast<int32_t>(photos[id].size()));
        EXPECT_EQ(ReadFile(File(id, 0)), photos[id]);
        EXPECT_EQ(contents[1].mWidth, 40);
        EXPECT_EQ(contents[1].mFileSize,
                  static_cast<int32_t>(std::filesystem::file_size(File(id, 1))));
        files.insert({std::to_string(id) + "_0", std::to_string(id) + "_1"});
    }
    EXPECT_EQ(MediaFiles(), files);
}

TEST_F(RelayPhotosTest, UploadsInProgressWhenTheServerStopsLeaveNoFile) {
    PhotoWorkers().Stop(true);
    // One upload half sent, and one complete whose photo is still to be made.
    mAlice->client->SendFrame(Wire::AddMediaRequest(1, 1, 2000, "half"));
    ExpectNext(*mAlice->client, Wire::Message(Wire::AddMediaAnswer, mAlice->id,
                                              Wire::U8(1) + Wire::U8(0) + Wire::U32(0)));
    mAlice->client->SendFrame(Wire::Chunk(0, 0, 0, std::string(1000, 'x')));
    const std::string png = Photo("PNG", 120, 90);
    EXPECT_EQ(Upload(*mAlice, png, "whole").second, 1u);
    ASSERT_TRUE(Received(1, png.size()));

    Model::Instance()->Server.Disconnect();
    EXPECT_TRUE(std::filesystem::is_empty(mMedia.Path()));
}

// What reached the server before it stops is stored, whatever of it had been read or
// handled. With the message worker held (it waits for the client-collection monitor,
// which the test keeps, while it handles a chat of alice's), a moderator sends the removal
// of alice's photo, and carol her join and a whole upload behind it, none waiting for an
// answer: the stop closes the connections before any of it is handled, and most of carol's
// is still unread in her socket. The upload becomes an item with both files and the removal
// goes through. Before, the stop dropped carol's join as a frame that only answers, then
// refused her upload as one from a client that had not joined.
TEST_F(RelayPhotosTest, AStopStoresAnUploadBehindAJoinAndARemovalThatWereNotHandled) {
    EXPECT_EQ(Upload(*mAlice, Photo("PNG", 64, 48), "old").second, 0u);
    ASSERT_EQ(List(*mAlice).size(), 1u);
    Member& moderator = mRoom->Join("mod", RelayTestServer::Digest("mod"), 1);
    Member& carol = mRoom->Connect();
    auto& clients = Model::Instance()->Clients;
    const auto count = [&clients] {
        clients.mMonitor.Enter();
        const uint32_t connected = clients.mValue.Count();
        clients.mMonitor.Exit();
        return connected;
    };
    ASSERT_TRUE(TestSupport::WaitUntil([&count] { return count() == 3; }));

    clients.mMonitor.Enter();
    mAlice->client->SendFrame(Wire::ChatText("hold on"));
    const bool held =
        TestSupport::WaitUntil([&clients] { return clients.mMonitor.GetNumCallers() == 2; });
    moderator.client->SendFrame(Wire::Message(Wire::RemoveMedia, 0, Wire::U32(0)));
    // More messages than a client may have waiting, so that the rest stays in the socket.
    const std::string photo = Photo("PNG", 120, 90);
    std::vector<std::string> messages = {Wire::Join("carol", ""),
                                         Wire::AddMediaRequest(1, 1, photo.size(), "late")};
    for (size_t at = 0; at < photo.size(); at += 200) {
        messages.push_back(Wire::Chunk(1, 0, 0, photo.substr(at, 200)));
    }
    std::string sent;
    for (const std::string& message : messages) {
        sent += Wire::U32(static_cast<uint32_t>(message.size())) + message;
    }
    const bool acknowledged = carol.client->SendBytes(sent) && carol.client->WaitAcknowledged() &&
                              moderator.client->WaitAcknowledged();
    std::thread stopping([] { Model::Instance()->Server.Disconnect(); });
    const bool closed = carol.client->WaitClosed() && moderator.client->WaitClosed();
    clients.mMonitor.Exit();
    stopping.join();
    ASSERT_TRUE(held && acknowledged && closed);

    EXPECT_TRUE(Contents(0).empty());
    const auto contents = Contents(1);
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(ReadFile(File(1, 0)), photo);
    EXPECT_EQ(contents[1].mFileSize, static_cast<int32_t>(std::filesystem::file_size(File(1, 1))));
}

}  // namespace
