#include "Admin/SaveDataCommand.h"

#include "Admin/AdminConfigurationModel.h"
#include "Admin/AdminModel.h"
#include "Admin/CryptoUtil.h"
#include "Admin/Storage/DeletionList.h"
#include "Admin/Storage/StoredFile.h"
#include "System/Resource/Feeds/AtomFeed.h"
#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "System/Threading/MonitorLock.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <algorithm>
#include <iterator>

using System::String;
using System::Xml::XmlNode;
using ZelvoRelay::MVC::Model::MediaModel;
using ZelvoRelay::MVC::Model::UserAccountModel;
using ZelvoRelay::MVC::Model::UserPrivilegeModel;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;
using Privilege = UserPrivilegeModel::UserPrivilege;
using Right = UserPrivilegeModel::AccessRight;

namespace {

// The configuration keys stored in "config.xml", in the order of its attributes.
constexpr ConfigProperty AdminConfigurationModel::*kStoredKeys[] = {
    &AdminConfigurationModel::RelayServerPort,
    &AdminConfigurationModel::RoomName,
    &AdminConfigurationModel::RoomSummary,
    &AdminConfigurationModel::RoomMaxClients,
    &AdminConfigurationModel::RoomIsPublic,
    &AdminConfigurationModel::AudioCompressionQuality,
    &AdminConfigurationModel::MediaPath,
    &AdminConfigurationModel::MaxMediaSize,
    &AdminConfigurationModel::MediaPreviewWidth,
    &AdminConfigurationModel::MediaPreviewHeight,
    &AdminConfigurationModel::IpDiscoveryUrl,
    &AdminConfigurationModel::SwitchboardUrl,
    &AdminConfigurationModel::SwitchboardUsername,
    &AdminConfigurationModel::SwitchboardPassword,
    &AdminConfigurationModel::SwitchboardAutoLogin,
};

XmlNode Element(const char* name) {
    XmlNode node;
    node.mName = name;
    return node;
}

String Protect(const String& password) {
    return password.Length() == 0 ? String() : CryptoUtil::Encrypt(password);
}

// An account's element; the rights are stored for the moderator and user accounts only.
XmlNode AccountNode(const char* name, const UserAccountModel& account, bool withRights) {
    XmlNode node = Element(name);
    node.SetAttributeValueBool("isEnabled", account.IsEnabled);
    node.SetAttributeValue("password", Protect(account.Password));
    if (withRights) {
        const Right photos = account.GetAccessRight(Privilege::Photos);
        node.SetAttributeValueBool("voice",
                                   account.GetAccessRight(Privilege::Voice) == Right::Write);
        node.SetAttributeValueBool("chat", account.GetAccessRight(Privilege::Chat) == Right::Write);
        node.SetAttributeValueBool("viewPhotos", photos > Right::None);
        node.SetAttributeValueBool("postPhotos", photos == Right::Write);
        node.SetAttributeValueBool("deletePhotos",
                                   account.GetAccessRight(Privilege::DeletePhotos) == Right::Write);
    }
    return node;
}

// An item of "media.xml": the Atom feed of the item's one entry, renamed "item", without
// attributes, with the item's Media RSS group, also without attributes, as its last child.
XmlNode ItemNode(const MediaModel& item) {
    System::Resource::Feeds::AtomFeed feed;
    feed.mEntries.Add(item);
    XmlNode node = System::Resource::Feeds::AtomSerializer().Serialize(feed);
    XmlNode group = System::Resource::Feeds::MediaRssSerializer().Serialize(item.mMediaGroup);
    node.RemoveAttributes();
    group.RemoveAttributes();
    node.AddChild(group);
    node.mName = "item";
    return node;
}

}  // namespace

void SaveDataCommand::Execute(System::MVC::EventDispatcher*) {
    // Both files are written even when the first fails: the other one still holds news.
    const bool config = StoredFile::Replace("config.xml", ConfigNode().ToString(true), 0);
    std::vector<uint32_t> removed;
    const String catalogue = MediaNode(removed).ToString(false);
    // Named on the disk before the catalogue stops listing them, the files are deleted by the
    // next start when a kill comes before their deletion. The catalogue is saved even when
    // the list is not: its news count more, and the files then wait for a later save.
    const DeletionList& deletions = AdminModel::Instance()->mDeletionList;
    const bool listed = removed.empty() || deletions.Write(removed);
    const bool media = StoredFile::Replace("media.xml", catalogue, removed.size());
    // Deleted before the file on the disk stopped listing them, a kill in between would
    // leave items listed whose every download is refused. The ids stay in use while the list
    // names their files, so that no file this run deletes is ever a new item's.
    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    if (!removed.empty() && media && listed) {
        const bool synced = relay->DeleteRemovedFiles(removed);
        // Forgotten, the files that could not be deleted would stay for good with nothing to
        // name them: they stay removed, named by the list and by the next save.
        const std::vector<uint32_t> undeleted = deletions.Undeleted(removed);
        if (synced && deletions.Shorten(undeleted)) {
            std::vector<uint32_t> deleted;
            std::set_difference(removed.begin(), removed.end(), undeleted.begin(), undeleted.end(),
                                std::back_inserter(deleted));
            System::Threading::MonitorLock lock(relay->Media.mMonitor);
            relay->Media.ForgetRemoved(deleted);
        }
    }
    AdminModel::Instance()->mSaveFailed = !(config && media && listed);
}

XmlNode SaveDataCommand::ConfigNode() {
    AdminConfigurationModel& keys = AdminModel::Instance()->mConfig;
    XmlNode config = Element("config");
    for (ConfigProperty AdminConfigurationModel::*member : kStoredKeys) {
        const ConfigProperty& key = keys.*member;
        const String value = key;
        config.SetAttributeValue(key.GetKey(),
                                 &key == &keys.SwitchboardPassword ? Protect(value) : value);
    }
    const auto& room = ZelvoRelayModel::Instance()->Room;
    XmlNode privileges = Element("privileges");
    privileges.AddChild(AccountNode("admin", room.AdminAccount, false));
    privileges.AddChild(AccountNode("moderator", room.ModeratorAccount, true));
    privileges.AddChild(AccountNode("user", room.UserAccount, true));
    config.AddChild(privileges);
    return config;
}

XmlNode SaveDataCommand::MediaNode(std::vector<uint32_t>& removed) {
    auto& catalogue = ZelvoRelayModel::Instance()->Media;
    XmlNode media = Element("media");
    System::Threading::MonitorLock lock(catalogue.mMonitor);
    media.SetAttributeValue("count", String::Parse("%u", catalogue.Count()));
    for (auto* node = catalogue.First(); node != nullptr; node = catalogue.Next(node)) {
        media.AddChild(ItemNode(node->mValue));
    }
    removed = catalogue.RemovedIds();
    return media;
}
