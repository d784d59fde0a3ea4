#pragma once

#include "System/MVC/ICommand.h"
#include "System/String.h"
#include "System/Xml/XmlNode.h"

#include <cstdint>
#include <vector>

// Rewrites the two state files of the working directory from the current models:
// "config.xml" (the configuration keys and the room's three accounts, indented) and
// "media.xml" (the photo catalogue, compact). Runs for "SaveUserDataEvent": after
// command-line passwords at start-up, every 300 seconds and on closing, each time on
// the main thread. AdminModel::mSaveFailed tells afterwards whether either file was left
// as it was, or the list of files to delete could not be written. The files of items removed
// since the last save are deleted once "media.xml" no longer lists them, named before that
// save in that list (DeletionList); those that cannot be deleted stay named, and removed, for
// the next save to delete.
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
};
