#include "Admin/DeletionList.h"

#include "Admin/PrintLogMessage.h"
#include "Admin/StoredFile.h"
#include "Admin/StoredMediaId.h"
#include "System/IO/Directory.h"
#include "System/IO/FileStream.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_set>

using System::String;
using ZelvoRelay::MVC::Model::MediaModel;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

namespace {

constexpr uint32_t kResources[] = {MediaModel::FullImage, MediaModel::Preview};

// A photo or preview file of an item, as one number: the media id, then the resource bit.
uint64_t FileKey(uint32_t mediaId, uint32_t resource) {
    return uint64_t{mediaId} << 1 | resource;
}

uint32_t IdOfKey(uint64_t key) {
    return static_cast<uint32_t>(key >> 1);
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
enum class Reading { Whole, Stopped, PastBound };

// Calls take with each line of file, without its line feed, until take returns false (then
// Stopped). A line longer than longest is cut to one byte more, so that it costs no more and
// still names no file of that length. Reads a piece past as much as a list may hold, however
// long the file has grown since its length was looked at (or a device, which has none, would
// go on for good); a file found longer than that is PastBound, its cut-off last line not taken.
template <typename Take>
Reading EachLine(System::IO::FileStream& file, uint32_t longest, Take take) {
    unsigned char buffer[64 * 1024];
    std::string line;
    int64_t total = 0;
    for (int64_t read = 0;
         total <= DeletionList::kMaxBytes && (read = file.Read(buffer, 0, sizeof buffer)) > 0;
         total += read) {
        for (int i = 0; i < read; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() <= longest) {
                    line.push_back(static_cast<char>(buffer[i]));
                }
            } else if (!take(String(line.data(), static_cast<uint32_t>(line.size())))) {
                return Reading::Stopped;
            } else {
                line.clear();
            }
        }
    }
    if (total > DeletionList::kMaxBytes) {
        return Reading::PastBound;
    }
    return line.empty() || take(String(line.data(), static_cast<uint32_t>(line.size())))
               ? Reading::Whole
               : Reading::Stopped;
}

}  // namespace

bool DeletionList::Write(const std::vector<uint32_t>& mediaIds) const {
    std::vector<uint32_t> named;
    std::set_union(mediaIds.begin(), mediaIds.end(), mCarried.begin(), mCarried.end(),
                   std::back_inserter(named));
    return Replace(named, mediaIds.size());
}

bool DeletionList::Shorten() const {
    return mCarried.empty() ? System::Utility::FileSystem().RemoveFile(kPath)
                            : Replace(mCarried, 0);
}

bool DeletionList::Replace(const std::vector<uint32_t>& mediaIds, size_t waiting) {
    const String& mediaPath = ZelvoRelayModel::Instance()->Configuration.MediaPath;
    // Built as one text: a string that grows by copies would take the square of the length of
    // the list when a whole catalogue is removed.
    std::string text;
    for (const uint32_t mediaId : mediaIds) {
        for (const uint32_t resource : kResources) {
            text += MediaModel::GetResourcePath(mediaPath, mediaId, resource).CStr();
            text += '\n';
        }
    }
    return StoredFile::Replace(kPath, String(text.data(), static_cast<uint32_t>(text.size())),
                               waiting);
}

void DeletionList::TakeUp(bool catalogueAsWritten) {
    System::IO::FileStream file(kPath, 3);
    if (file.IsMissing()) {
        return;
    }
    // Read whole, a list of 50 MB (one name repeated) held the start-up for 14 s at 334 MB.
    if (file.CanRead() && file.Length() > kMaxBytes) {
        file.Close();
        SetAsidePastBound();
        return;
    }
    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    const String& mediaPath = relay->Configuration.MediaPath;
    const uint32_t longest =
        MediaModel::GetResourcePath(mediaPath, 0x80000000u, MediaModel::Preview).Length();
    std::unordered_set<uint64_t> named;
    uint32_t refused = 0;
    String firstRefused;
    String repeated;
    const Reading reading = EachLine(file, longest, [&](const String& name) {
        // An empty line names nothing.
        if (name.Length() == 0) {
            return true;
        }
        const std::optional<uint64_t> key = FileNamed(name, mediaPath);
        if (!key) {
            firstRefused = refused++ == 0 ? name : firstRefused;
            return true;
        }
        // A save names each file once: a name that comes again is no list a save wrote, and
        // what follows it could go on for as long as the list is.
        if (!named.insert(*key).second) {
            repeated = name;
            return false;
        }
        return true;
    });
    if (!file.CanRead() || file.Failed()) {
        PrintLogMessage(String::Parse("%s cannot be read: %s; no file it names is deleted\n", kPath,
                                      file.Error().CStr()));
        return;
    }
    file.Close();
    if (reading == Reading::PastBound) {
        SetAsidePastBound();
        return;
    }
    if (reading == Reading::Stopped) {
        SetAside(String::Parse("names \"%s\" twice, more than the ids of the catalogue could need",
                               EscapeLogText(repeated).CStr()));
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
    relay->Media.mMonitor.Enter();
    for (const uint64_t key : named) {
        if (relay->Media.FindMedia(IdOfKey(key)) == nullptr) {
            unlisted.push_back(key);
        }
    }
    relay->Media.mMonitor.Exit();
    const uint32_t kept = static_cast<uint32_t>(named.size() - unlisted.size());
    const String listed =
        kept == 0 ? String() : String::Parse(", and kept %u of listed items", kept);
    if (!catalogueAsWritten) {
        for (const uint64_t key : unlisted) {
            mCarried.push_back(IdOfKey(key));
        }
        std::sort(mCarried.begin(), mCarried.end());
        mCarried.erase(std::unique(mCarried.begin(), mCarried.end()), mCarried.end());
        const auto left = static_cast<uint32_t>(unlisted.size());
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
        const String name =
            MediaModel::GetResourcePath(mediaPath, IdOfKey(key), static_cast<uint32_t>(key & 1));
        if (files.RemoveFile(name)) {
            ++deleted;
            lastDeleted = name;
        }
    }
    PrintLogMessage(String::Parse("Deleted %u file%s of removed photos named in %s%s\n", deleted,
                                  deleted == 1 ? "" : "s", kPath, listed.CStr()));
    // Removed before the deletions are on the disk, the list could be gone after a power cut
    // while the files are back.
    if (deleted == 0 || System::IO::Directory::SyncHolding(lastDeleted)) {
        static_cast<void>(Shorten());
    }
}

void DeletionList::SetAsidePastBound() {
    SetAside(String::Parse("is larger than %lld bytes", static_cast<long long>(kMaxBytes)));
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
