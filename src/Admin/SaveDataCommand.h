#pragma once

#include "System/MVC/ICommand.h"
#include "System/String.h"
#include "System/Xml/XmlNode.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Rewrites the two state files of the working directory from the current models:
// "config.xml" (the configuration keys and the room's three accounts, indented) and
// "media.xml" (the photo catalogue, compact). Runs for "SaveUserDataEvent": after
// command-line passwords at start-up, every 300 seconds and on closing, each time on
// the main thread. AdminModel::mSaveFailed tells afterwards whether either file was left
// as it was, or the list of files to delete could not be written. The files of items removed
// since the last save are deleted once "media.xml" no longer lists them, named before that
// save in that list (DeletionList).
class SaveDataCommand : public System::MVC::ICommand {
  public:
    void Execute(System::MVC::EventDispatcher* event) override;

    // The "config" element: the keys in file order (InternetAddress is not stored), the
    // switchboard password encrypted, and the accounts under "privileges".
    static System::Xml::XmlNode ConfigNode();
    // The "media" element: "count" and one "item" per photo in ascending id, made
    // under the catalogue's Monitor so that the count matches the items. removed gets, in
    // the same hold, the ids of removed items whose files still wait: the element lists
    // none of them.
    static System::Xml::XmlNode MediaNode(std::vector<uint32_t>& removed);

    // Replaces the file at path with text, or leaves it as it was: the text goes to a
    // temporary file beside it, which is flushed to the disk and then renamed over the
    // old one, and the directory is flushed after the rename. A path that is a symbolic
    // link is saved through it: the file the link leads to is replaced, and the link stays.
    // A failure is logged, with the number of removed photos whose files wait for the
    // save (waiting, none for 0). Returns whether the new file is on the disk.
    static bool WriteFile(const System::String& path, const System::String& text, size_t waiting);
    // Writes text to the file at path and flushes it to the disk; it gets the permission
    // bits of the file at modeOf, when there is one. The file is created or emptied, or with
    // exclusive created only when nothing is at path, so that nothing is written over.
    // Returns whether the text is on the disk whole; when not, what was written is removed.
    static bool WriteNewFile(const System::String& path, const System::String& text,
                             const System::String& modeOf, bool exclusive);
};
