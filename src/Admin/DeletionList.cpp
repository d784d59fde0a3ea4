#include "Admin/DeletionList.h"

#include "Admin/AppInitCommand.h"
#include "Admin/PrintLogMessage.h"
#include "Admin/SaveDataCommand.h"
#include "System/IO/Directory.h"
#include "System/IO/FileStream.h"
#include "System/IO/StreamReader.h"
#include "System/String.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <optional>
#include <string>

using System::String;
using ZelvoRelay::MVC::Model::MediaModel;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

namespace {

constexpr uint32_t kResources[] = {MediaModel::FullImage, MediaModel::Preview};

// The media id of the photo or preview that name is, exactly as the server names those files
// under mediaPath; none for any other name.
std::optional<uint32_t> IdOfFile(const String& name, const String& mediaPath) {
    for (const uint32_t resource : kResources) {
        const uint32_t suffix = String::Parse("_%u", resource).Length();
        if (name.Length() < mediaPath.Length() + suffix) {
            continue;
        }
        const std::optional<uint32_t> id = AppInitCommand::MediaIdOf(
            name.Substring(mediaPath.Length(), name.Length() - mediaPath.Length() - suffix));
        // Compared whole, so that no other folder, no ".." and no other form of an id ("+5",
        // "4294967295") passes for the file the server made.
        if (id && MediaModel::GetResourcePath(mediaPath, *id, resource) == name) {
            return id;
        }
    }
    return std::nullopt;
}

}  // namespace

bool DeletionList::Write(const std::vector<uint32_t>& mediaIds) {
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
    return SaveDataCommand::WriteFile(
        kPath, String(text.data(), static_cast<uint32_t>(text.size())), mediaIds.size());
}

bool DeletionList::Remove() {
    return System::Utility::FileSystem().RemoveFile(kPath);
}

void DeletionList::DeleteNamedFiles() {
    System::IO::FileStream file(kPath, 3);
    if (file.IsMissing()) {
        return;
    }
    std::vector<String> names;
    System::IO::StreamReader reader(file);
    while (file.CanRead() && !file.Failed() && !reader.IsEndOfStream()) {
        // An empty line names nothing.
        if (String name = reader.ReadLine(); name.Length() != 0) {
            names.push_back(name);
        }
    }
    if (!file.CanRead() || file.Failed()) {
        PrintLogMessage(String::Parse("%s cannot be read: %s; no file it names is deleted\n", kPath,
                                      file.Error().CStr()));
        return;
    }
    file.Close();
    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    const String& mediaPath = relay->Configuration.MediaPath;
    const System::Utility::FileSystem files;
    uint32_t deleted = 0;
    uint32_t kept = 0;
    uint32_t refused = 0;
    String firstRefused;
    String lastDeleted;
    // Start-up, before the relay hosts: holding the monitor through the deletions holds no one
    // up.
    relay->Media.mMonitor.Enter();
    for (const String& name : names) {
        const std::optional<uint32_t> id = IdOfFile(name, mediaPath);
        if (!id) {
            firstRefused = refused++ == 0 ? name : firstRefused;
        } else if (relay->Media.FindMedia(*id) != nullptr) {
            // The save that was to stop listing it failed or never came.
            ++kept;
        } else if (files.RemoveFile(name)) {
            ++deleted;
            lastDeleted = name;
        }
    }
    relay->Media.mMonitor.Exit();
    if (refused != 0) {
        PrintLogMessage(String::Parse(
            "%s names %u file%s that the server does not make under MediaPath \"%s\", left "
            "alone: \"%s\"%s\n",
            kPath, refused, refused == 1 ? "" : "s", EscapeLogText(mediaPath).CStr(),
            EscapeLogText(firstRefused).CStr(), refused == 1 ? "" : " and others"));
    }
    const String listed =
        kept == 0 ? String() : String::Parse(", and kept %u of listed items", kept);
    PrintLogMessage(String::Parse("Deleted %u file%s of removed photos named in %s%s\n", deleted,
                                  deleted == 1 ? "" : "s", kPath, listed.CStr()));
    // Removed before the deletions are on the disk, the list could be gone after a power cut
    // while the files are back.
    if (deleted == 0 || System::IO::Directory::SyncHolding(lastDeleted)) {
        static_cast<void>(Remove());
    }
}
