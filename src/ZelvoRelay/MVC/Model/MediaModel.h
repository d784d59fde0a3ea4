#pragma once

#include <cstdint>

#include "System/DateTime.h"
#include "System/Resource/Feeds/AtomFeed.h"
#include "System/Resource/Feeds/MediaGroup.h"
#include "System/String.h"

namespace ZelvoRelay::Collections {
class MediaCollection;
class MediaTransferCollection;
}  // namespace ZelvoRelay::Collections

namespace ZelvoRelay::MVC::Model {

// One shared photo of the catalogue: its Atom entry (id = the media id as "%d" text, title =
// the uploader's name for it, published = the upload time, one author = the uploader) and the
// Media RSS group describing its two stored resources, element r of the contents for resource
// r (0 the photo as uploaded, 1 its preview). Items are ordered and told apart by media id
// alone, compared as unsigned 32-bit numbers. Copies are deep.
class MediaModel : public System::Resource::Feeds::AtomEntry {
  public:
    // The resource numbers of an item's two files.
    static constexpr uint32_t FullImage = 0;
    static constexpr uint32_t Preview = 1;

    MediaModel() = default;
    MediaModel(const MediaModel& other) = default;
    MediaModel& operator=(const MediaModel& other) = default;
    ~MediaModel() override = default;

    bool operator==(const MediaModel& other) const { return mMediaId == other.mMediaId; }
    bool operator<(const MediaModel& other) const { return mMediaId < other.mMediaId; }
    bool operator<=(const MediaModel& other) const { return mMediaId <= other.mMediaId; }
    bool operator>=(const MediaModel& other) const { return mMediaId >= other.mMediaId; }
    bool operator>(const MediaModel& other) const { return mMediaId > other.mMediaId; }
    using Object::operator==;

    // Draws a new media id: the counter's value, passing over every id that an item of the
    // catalogue, a removed item whose files wait or an upload in progress still holds (after
    // the counter wraps, a reused id would truncate that item's files); the counter then
    // stands one past the id drawn.
    // REQUIRES: the caller holds the uploads Monitor, then the catalogue Monitor.
    static uint32_t GenerateId(const Collections::MediaCollection& catalogue,
                               const Collections::MediaTransferCollection& uploads);
    // Sets the next id to draw; start-up calls it after loading a catalogue.
    static void SetMediaIdCounter(uint32_t value) { mMediaIdCounter = value; }

    // The file of resource r of this item under the configured MediaPath.
    [[nodiscard]] System::String GetResourcePath(uint32_t resource) const;
    // The file of resource r of item id under mediaPath, a plain prefix: "%s%d_%d" of
    // (mediaPath, id, r), the numbers written as signed 32-bit values as the stored
    // files have always been named.
    [[nodiscard]] static System::String GetResourcePath(const System::String& mediaPath,
                                                        uint32_t id, uint32_t resource);

    uint32_t mMediaType{0};                           // 1 for a photo, as the uploader said
    System::Resource::Feeds::MediaGroup mMediaGroup;  // one content element per resource
    uint32_t mMediaId{0};                             // unique in the catalogue
    System::DateTime mUploadTime;                     // when the upload was accepted, UTC

  private:
    // The next id to draw. Used on the message worker only, and by start-up before the
    // workers run, so it needs no lock.
    static uint32_t mMediaIdCounter;
};

}  // namespace ZelvoRelay::MVC::Model
