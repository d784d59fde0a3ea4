#pragma once

// Catalogue items as people's uploads leave them, for the benchmarks that list or download.

#include <cstdint>

#include "System/String.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"

namespace CatalogueItem {

using ZelvoRelay::MVC::Model::MediaModel;

// A title of length bytes made of words drawn at random, different for every item, as
// people's titles are.
inline System::String Title(uint32_t id, uint32_t length) {
    static const char* const kWords[] = {
        "holiday", "beach",    "sunset", "family", "garden", "party", "friends",  "&",
        "<city>",  "mountain", "river",  "snow",   "dog",    "cat",   "birthday", "2026"};
    uint32_t seed = id * 2654435761u;
    System::String title = System::String::Parse("Photo %u:", id);
    while (title.Length() < length) {
        seed = seed * 1103515245u + 12345u;
        title += " ";
        title += kWords[(seed >> 16) % 16];
    }
    return title.Substring(0, length);
}

// An item as an upload leaves it in the catalogue.
inline MediaModel Item(uint32_t id, uint32_t titleLength) {
    MediaModel item;
    item.mMediaId = id;
    item.mId = System::String::Parse("%d", static_cast<int32_t>(id));
    item.mTitle.mText = Title(id, titleLength);
    item.mPublished = "2026/12/07 17:32:05";
    System::Resource::Feeds::AtomPersonConstruct author;
    author.mName = System::String::Parse("member%u", id % 20);
    item.mAuthors.Add(author);
    System::Resource::Feeds::MediaContent photo;
    photo.mFileSize = static_cast<int32_t>(200000 + id * 37);
    photo.mWidth = 1600;
    photo.mHeight = 1200;
    System::Resource::Feeds::MediaContent preview;
    preview.mFileSize = static_cast<int32_t>(6000 + id * 3);
    preview.mWidth = 160;
    preview.mHeight = 120;
    item.mMediaGroup.mContents.Add(photo);
    item.mMediaGroup.mContents.Add(preview);
    return item;
}

}  // namespace CatalogueItem
