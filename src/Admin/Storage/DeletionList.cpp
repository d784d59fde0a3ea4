#include "Admin/Storage/DeletionList.h"

#include "Admin/Log/PrintLogMessage.h"
#include "Admin/Storage/StoredFile.h"
#include "Admin/Storage/StoredMediaId.h"
#include "System/IO/Directory.h"
#include "System/IO/FileStream.h"
#include "System/Threading/MonitorLock.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

using System::String;
using ZelvoRelay::MVC::Model::MediaModel;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

namespace {

constexpr uint32_t kResources[] = {MediaModel::FullImage, MediaModel::Preview};

// A photo or preview file of an item, as one number: the media id, then the resource bit. Keys
// ascend as a save names the files.
uint64_t FileKey(uint32_t mediaId, uint32_t resource) {
    return uint64_t{mediaId} << 1 | resource;
}

uint32_t IdOfKey(uint64_t key) {
    return static_cast<uint32_t>(key >> 1);
}

String NameOfKey(uint64_t key, const String& mediaPath) {
    return MediaModel::GetResourcePath(mediaPath, IdOfKey(key), static_cast<uint32_t>(key & 1));
}

// The keys of the two files of each item in mediaIds (ascending), ascending.
std::vector<uint64_t> KeysOf(const std::vector<uint32_t>& mediaIds) {
    std::vector<uint64_t> keys;
    keys.reserve(mediaIds.size() * std::size(kResources));
    for (const uint32_t mediaId : mediaIds) {
        for (const uint32_t resource : kResources) {
            keys.push_back(FileKey(mediaId, resource));
        }
    }
    return keys;
}

// The file (FileKey) that name is, exactly as the server names photos and previews under
// mediaPath; none for any other name.
std::optional<uint64_t> FileNamed(const String& name, const String& mediaPath) {
    for (const uint32_t resource : kResources) {
        const uint32_t suffix = String::Parse("_%u", resource).Length();
        if (name.Length() < mediaPath.Length() + suffix) {
            continue;
        }
        const std::optional<uint32_t> id = StoredMediaId::Of(
            name.Substring(mediaPath.Length(), name.Length() - mediaPath.Length() - suffix));
        // Compared whole, so that no other folder, no ".." and no other form of an id ("+5",
        // "4294967295") passes for the file the server made.
        if (id && MediaModel::GetResourcePath(mediaPath, *id, resource) == name) {
            return FileKey(*id, resource);
        }
    }
    return std::nullopt;
}

// How far EachLine went through a list.
enum class Reading { Whole, PastBound };

// Calls take with each line of file, without its line feed; take returns whether the line is
// one a save writes where it stands. A line longer than longest is cut to one byte more, so
// that it costs no more and still names no file of that length. Once a line is not as a save
// writes it, or the last one has no line feed, the list reads a piece past kMaxBytes at most,
// however long the file has grown since (or a device, which has none, would go on for good); a
// file found longer than that is PastBound, its cut-off last line not taken. Until then it is
// read whole: each line names a file past the one before, so the ids bound its length.
template <typename Take>
Reading EachLine(System::IO::FileStream& file, uint32_t longest, Take take) {
    unsigned char buffer[64 * 1024];
    std::string line;
    bool asSaved = true;
    int64_t total = 0;
    for (int64_t read = 0; (asSaved || total <= DeletionList::kMaxBytes) &&
                           (read = file.Read(buffer, 0, sizeof buffer)) > 0;
         total += read) {
        for (int i = 0; i < read; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() <= longest) {
                    line.push_back(static_cast<char>(buffer[i]));
                } else {
                    asSaved = false;
                }
            } else {
                asSaved = take(String(line.data(), static_cast<uint32_t>(line.size()))) && asSaved;
                line.clear();
            }
        }
    }
    asSaved = asSaved && line.empty();
    if (!asSaved && total > DeletionList::kMaxBytes) {
        return Reading::PastBound;
    }
    if (!line.empty()) {
        static_cast<void>(take(String(line.data(), static_cast<uint32_t>(line.size()))));
    }
    return Reading::Whole;
}

}  // namespace

bool DeletionList::Write(const std::vector<uint32_t>& mediaIds) const {
    const std::vector<uint64_t> removed = KeysOf(mediaIds);
    std::vector<uint64_t> named;
    std::set_union(removed.begin(), removed.end(), mCarried.begin(), mCarried.end(),
                   std::back_inserter(named));
    return Replace(named, mediaIds.size());
}

std::vector<uint32_t> DeletionList::Undeleted(const std::vector<uint32_t>& mediaIds) const {
    const String& mediaPath = ZelvoRelayModel::Instance()->Configuration.MediaPath;
    const System::Utility::FileSystem files;
    std::vector<uint32_t> undeleted;
    uint32_t left = 0;
    String first;
    for (const uint64_t key : KeysOf(mediaIds)) {
        if (const String name = NameOfKey(key, mediaPath); files.Exists(name)) {
            first = left++ == 0 ? name : first;
            if (undeleted.empty() || undeleted.back() != IdOfKey(key)) {
                undeleted.push_back(IdOfKey(key));
            }
        }
    }
    if (left != 0) {
        PrintLogMessage(String::Parse(
            "%u file%s of removed photos could not be deleted (\"%s\"%s); %s names %s, and "
            "each save tries again\n",
            left, left == 1 ? "" : "s", EscapeLogText(first).CStr(), left == 1 ? "" : " and others",
            kPath, left == 1 ? "it" : "them"));
    }
    return undeleted;
}

bool DeletionList::Shorten(const std::vector<uint32_t>& undeleted) const {
    const std::vector<uint64_t> left = KeysOf(undeleted);
    std::vector<uint64_t> named;
    std::set_union(left.begin(), left.end(), mCarried.begin(), mCarried.end(),
                   std::back_inserter(named));
    return named.empty() ? System::Utility::FileSystem().RemoveFile(kPath) : Replace(named, 0);
}

bool DeletionList::Replace(const std::vector<uint64_t>& keys, size_t waiting) {
    const String& mediaPath = ZelvoRelayModel::Instance()->Configuration.MediaPath;
    // Built as one text: a string that grows by copies would take the square of the length of
    // the list when a whole catalogue is removed.
    std::string text;
    for (const uint64_t key : keys) {
        text += NameOfKey(key, mediaPath).CStr();
        text += '\n';
    }
    return StoredFile::Replace(kPath, String(text.data(), static_cast<uint32_t>(text.size())),
                               waiting);
}

void DeletionList::TakeUp(bool catalogueAsWritten) {
    System::IO::FileStream file(kPath, 3);
    if (file.IsMissing()) {
        return;
    }
    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    const String& mediaPath = relay->Configuration.MediaPath;
    const uint32_t longest =
        MediaModel::GetResourcePath(mediaPath, 0x80000000u, MediaModel::Preview).Length();
    std::vector<uint64_t> named;
    uint32_t refused = 0;
    String firstRefused;
    // Read whole whatever its size, a list of 50 MB (one name repeated) held the start-up for
    // 14 s at 334 MB; bounded at 1 MiB whatever its form, the list a save wrote after 35,000
    // removals was left unread and their files stayed for good.
    const Reading reading = EachLine(file, longest, [&](const String& name) {
        // An empty line names nothing.
        if (name.Length() == 0) {
            return false;
        }
        const std::optional<uint64_t> key = FileNamed(name, mediaPath);
        if (!key) {
            firstRefused = refused++ == 0 ? name : firstRefused;
            return false;
        }
        named.push_back(*key);
        return named.size() == 1 || named[named.size() - 2] < *key;
    });
    if (!file.CanRead() || file.Failed()) {
        PrintLogMessage(String::Parse("%s cannot be read: %s; no file it names is deleted\n", kPath,
                                      file.Error().CStr()));
        return;
    }
    file.Close();
    if (reading == Reading::PastBound) {
        SetAside(String::Parse("is larger than %lld bytes", static_cast<long long>(kMaxBytes)));
        return;
    }
    std::sort(named.begin(), named.end());
    // A save names each file once: a name that comes again is no list a save wrote.
    if (const auto repeated = std::adjacent_find(named.begin(), named.end());
        repeated != named.end()) {
        SetAside(String::Parse("names \"%s\" twice, more than the ids of the catalogue could need",
                               EscapeLogText(NameOfKey(*repeated, mediaPath)).CStr()));
        return;
    }
    if (refused != 0) {
        PrintLogMessage(String::Parse(
            "%s names %u file%s that the server does not make under MediaPath \"%s\", left "
            "alone: \"%s\"%s\n",
            kPath, refused, refused == 1 ? "" : "s", EscapeLogText(mediaPath).CStr(),
            EscapeLogText(firstRefused).CStr(), refused == 1 ? "" : " and others"));
    }
    std::vector<uint64_t> unlisted;
    // Start-up, before the relay hosts: holding the monitor holds no one up.
    System::Threading::MonitorLock lock(relay->Media.mMonitor);
    for (const uint64_t key : named) {
        if (relay->Media.FindMedia(IdOfKey(key)) == nullptr) {
            unlisted.push_back(key);
        }
    }
    lock.Unlock();
    const auto kept = static_cast<uint32_t>(named.size() - unlisted.size());
    const String listed =
        kept == 0 ? String() : String::Parse(", and kept %u of listed items", kept);
    if (!catalogueAsWritten) {
        mCarried = std::move(unlisted);
        const auto left = static_cast<uint32_t>(mCarried.size());
        PrintLogMessage(String::Parse(
            "Left %u file%s of removed photos named in %s for a start that reads media.xml "
            "whole%s\n",
            left, left == 1 ? "" : "s", kPath, listed.CStr()));
        return;
    }
    const System::Utility::FileSystem files;
    uint32_t deleted = 0;
    String lastDeleted;
    for (const uint64_t key : unlisted) {
        const String name = NameOfKey(key, mediaPath);
        if (files.RemoveFile(name)) {
            ++deleted;
            lastDeleted = name;
        } else if (files.Exists(name)) {
            // Forgotten, it would stay for good: nothing else names it (a media folder
            // read-only for one start left every file of the list).
            mCarried.push_back(key);
        } else {
            // Gone already, as after a kill in the middle of the deletions: counted as the
            // README counts it, or the line would say fewer files than the list named.
            ++deleted;
        }
    }
    const auto left = static_cast<uint32_t>(mCarried.size());
    const String undeleted =
        left == 0 ? String()
                  : String::Parse("; %u could not be deleted (\"%s\"%s) and %s named in it", left,
                                  EscapeLogText(NameOfKey(mCarried.front(), mediaPath)).CStr(),
                                  left == 1 ? "" : " and others", left == 1 ? "stays" : "stay");
    PrintLogMessage(String::Parse("Deleted %u file%s of removed photos named in %s%s%s\n", deleted,
                                  deleted == 1 ? "" : "s", kPath, listed.CStr(), undeleted.CStr()));
    // Removed before the deletions are on the disk, the list could be gone after a power cut
    // while the files are back.
    if (lastDeleted.Length() == 0 || System::IO::Directory::SyncHolding(lastDeleted)) {
        static_cast<void>(Shorten());
    }
}

void DeletionList::SetAside(const String& why) {
    const System::Utility::FileSystem files;
    const String kept = StoredFile::FreeCopyName(kPath);
    // Left in place, it would be replaced by the next save that removes photos. The name is
    // taken by a new file first, so that a copy made there since it was looked at is never
    // renamed over.
    const bool taken = StoredFile::WriteNew(kept, String(), kPath, true);
    const bool moved = taken && files.MoveFile(kPath, kept);
    if (taken && !moved) {
        static_cast<void>(files.RemoveFile(kept));
    }
    const String where =
        moved ? String::Parse("kept as %s for the operator", kept.CStr())
              : String::Parse(
                    "left where it is, as it cannot be moved to %s, until a save that "
                    "removes photos writes over it",
                    kept.CStr());
    PrintLogMessage(String::Parse("%s %s: it is left unread and %s; no file it names is deleted\n",
                                  kPath, why.CStr(), where.CStr()));
}
