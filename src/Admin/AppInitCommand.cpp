#include "Admin/AppInitCommand.h"

#include "Admin/AdminModel.h"
#include "Admin/ChangePasswordCommand.h"
#include "Admin/ConfigProperty.h"
#include "Admin/CryptoUtil.h"
#include "Admin/FindIpCommand.h"
#include "Admin/Log/DescriptorReserveLog.h"
#include "Admin/Log/PrintLogMessage.h"
#include "Admin/Log/RelayObserver.h"
#include "Admin/LoginCommand.h"
#include "Admin/LoginEvent.h"
#include "Admin/LogoutCommand.h"
#include "Admin/RoomUpdateCommand.h"
#include "Admin/SaveDataCommand.h"
#include "Admin/Storage/DeletionList.h"
#include "Admin/Storage/MediaFileCheck.h"
#include "Admin/Storage/StoredFile.h"
#include "Admin/Storage/StoredMediaId.h"
#include "Admin/UserForgotPasswordCommand.h"
#include "Admin/UserRegisterCommand.h"
#include "Application/App.h"
#include "Application/AppClosingCommand.h"
#include "Application/AppInitEvent.h"
#include "Application/AppModel.h"
#include "Application/SaveUserDataEvent.h"
#include "System/IO/DescriptorLimit.h"
#include "System/IO/FileStream.h"
#include "System/IO/StreamReader.h"
#include "System/MVC/Controller.h"
#include "System/Net/IPAddress.h"
#include "System/Net/IPEndPoint.h"
#include "System/Net/Net.h"
#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "System/Resource/Image.h"
#include "System/Utility/FileSystem.h"
#include "ZelvoRelay/MVC/Model/ZelvoRelayModel.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

using System::String;
using System::Xml::XmlNode;
using ZelvoRelay::MVC::Model::UserAccountModel;
using ZelvoRelay::MVC::Model::UserPrivilegeModel;
using ZelvoRelay::MVC::Model::ZelvoRelayModel;

namespace {

constexpr const char* kLocalePath = "resource/locale/en.txt";

// The event names of the commands start-up registers, in the order it registers them.
constexpr const char* kCommandNames[] = {
    "AppClosingEvent",    "SaveUserDataEvent", "FindIpEvent",       "LoginEvent",
    "LogoutEvent",        "RoomUpdateEvent",   "UserRegisterEvent", "UserForgotPasswordEvent",
    "ChangePasswordEvent"};

// Writes text to standard output after the lines logged before it, and ends the process
// with status 0.
[[noreturn]] void AnswerAndExit(const String& text) {
    WaitForConsole(std::chrono::steady_clock::now() + kConsoleEndWait);
    std::fwrite(text.CStr(), 1, text.Length(), stdout);
    std::exit(0);
}

// Whether word is the option, given by its short or long name, and its value: the next
// word, or the text after "=" in the word itself.
bool IsOption(const String& word, const char* shortName, const char* longName, const String& next,
              String& value) {
    if (word == shortName || word == longName) {
        value = next;
        return true;
    }
    for (const String& name : {String(shortName), String(longName)}) {
        const String prefix = name + "=";
        if (word.StartsWith(prefix)) {
            value = word.Substring(prefix.Length());
            return true;
        }
    }
    return false;
}

// The plain text of a password stored in "config.xml"; empty when there is none. A value
// that does not decrypt (written plain by hand, or damaged) is taken as written: read as no
// password, it would open the user account to everyone and the next save would erase it.
String StoredPassword(const String& stored, const String& whose) {
    if (stored.Length() == 0) {
        return stored;
    }
    // The encryption of the empty password deciphers to nothing too: success is told
    // apart from the text, or an open room would be locked behind the stored text.
    String plain;
    if (CryptoUtil::Decrypt(stored, plain)) {
        return plain;
    }
    PrintLogMessage(String::Parse(
        "config.xml: the password of %s is not encrypted; it is taken as written\n", whose.CStr()));
    return stored;
}

// The digest joins are compared with: of the password, or none for no password.
void UpdateDigest(UserAccountModel& account) {
    account.PasswordHash =
        account.Password.Length() == 0 ? String() : CryptoUtil::Hash(account.Password);
}

void ReadAccount(const XmlNode& element, ZelvoRelay::MVC::Model::RoomModel& room) {
    const bool isAdmin = element.mName == "admin";
    UserAccountModel& account = isAdmin                        ? room.AdminAccount
                                : element.mName == "moderator" ? room.ModeratorAccount
                                                               : room.UserAccount;
    account.IsEnabled = element.GetAttributeValueBool("isEnabled");
    const String password = StoredPassword(element.GetAttributeValue("password"),
                                           String::Parse("the %s account", element.mName.CStr()));
    if (password.Length() != 0) {
        account.Password = password;
    }
    UpdateDigest(account);
    if (isAdmin) {
        return;
    }
    using Privilege = UserPrivilegeModel::UserPrivilege;
    using Right = UserPrivilegeModel::AccessRight;
    const auto write = [&element](const char* name) {
        return element.GetAttributeValueBool(name) ? Right::Write : Right::None;
    };
    const bool view = element.GetAttributeValueBool("viewPhotos");
    const bool post = element.GetAttributeValueBool("postPhotos");
    account.SetAccessRight(Privilege::Voice, write("voice"));
    account.SetAccessRight(Privilege::Chat, write("chat"));
    account.SetAccessRight(Privilege::Photos, view && post   ? Right::Write
                                              : view || post ? Right::Read
                                                             : Right::None);
    account.SetAccessRight(Privilege::DeletePhotos, write("deletePhotos"));
}

// The text of -h, for a program started as program.
String HelpText(const String& program) {
    return String::Parse(
        "Command Line Example: %s [CONFIG]\n"
        "-sp=\t--switchboardPassword=\tSets the password for logging into the switchboard.\n"
        "-ap=\t--adminPassword=\tSets the password for the administrator account.\n"
        "-mp=\t--modPassword=\t\tSets the password for the moderator account.\n"
        "-up=\t--userPassword=\t\tSets the password for normal users (the room password).\n"
        "-h\t--help=\t\t\tThis help text.\n"
        "-v\t--version=\t\tPrints the server version.\n",
        program.CStr());
}

}  // namespace

AppInitCommand::~AppInitCommand() {
    for (const char* name : kCommandNames) {
        delete System::MVC::Controller::GetAction(name);
        System::MVC::Controller::Set(name, nullptr);
    }
}

void AppInitCommand::Execute(System::MVC::EventDispatcher* event) {
    RequireStartUpThreads();
    const auto* init = static_cast<AppInitEvent*>(event);
    // Both files are read before either is parsed, so that start-up ends touching
    // neither when one of them cannot be read.
    const std::optional<String> config = ReadText("config.xml");
    const std::optional<String> catalogue = ReadText("media.xml");
    LoadConfiguration(config);
    LoadMessageTexts();
    RegisterCommands();
    const bool passwordGiven = ApplyCommandLine(init->mArgc, init->mArgv);
    const bool catalogueAsWritten = LoadCatalogue(catalogue);
    RemoveLeftoversOfSaves();
    if (passwordGiven) {
        SaveUserDataEvent save;
        save.Dispatch();
    }
    ConfigureRelay();
    AdminModel::Instance()->mDeletionList.TakeUp(catalogueAsWritten);
    MediaFileCheck::LogItemsThatCannotBeSent();
    PrintLogMessage(
        String::Parse("Open file limit: %llu\n",
                      static_cast<unsigned long long>(System::IO::DescriptorLimit::Raise())));
    StartServers();
    DescriptorReserveLog::ShareOutDescriptors();
}

void AppInitCommand::RequireStartUpThreads() {
    // Without it the stop signals stay blocked and pending for good: the server would host
    // with no way to stop it but a kill, which loses what the closing save keeps.
    if (const int error = Application::App::GetStopSignalError(); error != 0) {
        EndStartUp(
            String::Parse("The thread that takes the stop signals cannot start: %s; "
                          "start-up ends, as nothing could stop the server\n",
                          System::Net::Net::GetError(error).CStr()));
    }
    // Without it each line would be written by the thread that logs it, and a console that
    // takes nothing would hold up the room and its stop. This line is written so itself.
    if (const int error = StartConsole(); error != 0) {
        EndStartUp(
            String::Parse("The thread that writes the console cannot start: %s; "
                          "start-up ends, as a console that takes nothing would hold "
                          "up the room\n",
                          System::Net::Net::GetError(error).CStr()));
    }
}

void AppInitCommand::RemoveLeftoversOfSaves() {
    for (const char* path : {"config.xml", "media.xml", DeletionList::kPath}) {
        StoredFile::RemoveLeftover(path);
    }
}

std::optional<String> AppInitCommand::ReadText(const String& path) {
    System::IO::FileStream file(path, 3);
    if (file.IsMissing()) {
        return std::nullopt;
    }
    std::string text;
    unsigned char buffer[64 * 1024];
    for (int read; (read = file.Read(buffer, 0, sizeof buffer)) > 0;) {
        text.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(read));
    }
    if (!file.CanRead() || file.Failed()) {
        // Taken as missing, the file would be written over at the first save with empty
        // settings or an empty catalogue: the passwords and the items would be lost.
        EndStartUp(String::Parse("%s cannot be read: %s\n", path.CStr(), file.Error().CStr()));
    }
    return String(text.data(), static_cast<uint32_t>(text.size()));
}

XmlNode* AppInitCommand::ReadDocument(System::Xml::XmlDoc& document, const String& path,
                                      const std::optional<String>& text) {
    if (!text) {
        return nullptr;
    }
    // A NUL byte ends the document there, as it ends one read with XmlDoc::Import.
    XmlNode* root = document.Load(String(text->CStr()));
    if (root == nullptr) {
        // The next save writes the file anew from what was read, which is nothing: kept,
        // the settings or the catalogue it held can still be mended and put back.
        String kept;
        if (!KeepAsRead(path, *text, kept)) {
            EndStartUp(
                String::Parse("%s is not a readable XML document and cannot be kept as "
                              "%s: start-up ends, or the next save would write over it\n",
                              path.CStr(), kept.CStr()));
        }
        PrintLogMessage(
            String::Parse("%s is not a readable XML document; it is ignored and kept as %s\n",
                          path.CStr(), kept.CStr()));
    }
    return root;
}

void AppInitCommand::LoadConfiguration(const std::optional<String>& text) {
    System::Xml::XmlDoc document;
    const XmlNode* root = ReadDocument(document, "config.xml", text);
    if (root == nullptr) {
        return;
    }
    for (unsigned int i = 0; i < root->GetNumAttributes(); ++i) {
        const auto* attribute = root->GetAttribute(i);
        if (attribute->mValue.Length() != 0) {
            ConfigProperty(attribute->mName) = attribute->mValue;
        }
    }
    ConfigProperty& password = AdminModel::Instance()->mConfig.SwitchboardPassword;
    const String stored = password;
    if (stored.Length() != 0) {
        password = StoredPassword(stored, "the switchboard login");
    }
    auto& room = ZelvoRelayModel::Instance()->Room;
    for (unsigned int n = 1; const XmlNode* privileges = root->GetChild("privileges", n); ++n) {
        for (unsigned int i = 0; i < privileges->GetNumChildren(); ++i) {
            ReadAccount(*privileges->GetChild(i), room);
        }
    }
}

void AppInitCommand::LoadMessageTexts() {
    System::IO::FileStream file(kLocalePath, 3);
    if (!file.CanRead()) {
        return;
    }
    // The table passes over lines that are not key=text without a word; say so, since a
    // mistyped line would otherwise only show as an empty text in the log.
    int skipped = 0;
    System::IO::StreamReader reader(file);
    while (!reader.IsEndOfStream()) {
        const String line = reader.ReadLine();
        if (line.Length() != 0 && line[0] != '#' && line.IndexOf("=") == -1) {
            ++skipped;
        }
    }
    file.Position(0);
    AppModel::Instance()->mLocale.Import(file, "en");
    if (skipped != 0) {
        PrintLogMessage(
            String::Parse("%s: ignored %d line(s) that are not key=text\n", kLocalePath, skipped));
    }
}

void AppInitCommand::RegisterCommands() {
    System::MVC::ICommand* const commands[] = {
        new AppClosingCommand,    new SaveDataCommand,
        new FindIpCommand,        new LoginCommand,
        new LogoutCommand,        new RoomUpdateCommand,
        new UserRegisterCommand,  new UserForgotPasswordCommand,
        new ChangePasswordCommand};
    static_assert(sizeof commands / sizeof commands[0] == std::size(kCommandNames));
    for (size_t i = 0; i < std::size(kCommandNames); ++i) {
        System::MVC::Controller::Set(kCommandNames[i], commands[i]);
    }
}

bool AppInitCommand::ApplyCommandLine(int argc, char** argv) {
    AdminModel* admin = AdminModel::Instance();
    auto& room = ZelvoRelayModel::Instance()->Room;
    bool passwordGiven = false;
    for (int i = 1; i < argc; ++i) {
        const String word = argv[i];
        const String next = i + 1 < argc ? argv[i + 1] : "";
        String value;
        if (IsOption(word, "-sp", "--switchboardPassword", next, value)) {
            admin->mConfig.SwitchboardPassword = value;
            passwordGiven = true;
        } else if (IsOption(word, "-ap", "--adminPassword", next, value)) {
            room.AdminAccount.Password = value;
            passwordGiven = true;
        } else if (IsOption(word, "-mp", "--modPassword", next, value)) {
            room.ModeratorAccount.Password = value;
            passwordGiven = true;
        } else if (IsOption(word, "-up", "--userPassword", next, value)) {
            room.UserAccount.Password = value;
            passwordGiven = true;
        } else if (word == "-h" || word == "--help") {
            AnswerAndExit(HelpText(argv[0]));
        } else if (word == "-v" || word == "--version") {
            AnswerAndExit(AdminModel::VersionText());
        }
    }
    // Joins would otherwise be checked against the digest of the password read from
    // "config.xml" until the next start, refusing the new password the file now holds.
    for (UserAccountModel* account :
         {&room.AdminAccount, &room.ModeratorAccount, &room.UserAccount}) {
        UpdateDigest(*account);
    }
    return passwordGiven;
}

ZelvoRelay::MVC::Model::MediaModel AppInitCommand::ReadCatalogueItem(const XmlNode& node) {
    ZelvoRelay::MVC::Model::MediaModel item;
    const auto feed = System::Resource::Feeds::AtomSerializer().Deserialize(node);
    if (feed.mEntries.Count() > 0) {
        static_cast<System::Resource::Feeds::AtomEntry&>(item) = feed.mEntries[0];
    }
    if (const XmlNode* group = node.GetChild("group")) {
        item.mMediaGroup = System::Resource::Feeds::MediaRssSerializer().Deserialize(*group);
    }
    item.mMediaId = StoredMediaId::Of(item.mId).value_or(0);
    return item;
}

bool AppInitCommand::LoadCatalogue(const std::optional<String>& text) {
    System::Xml::XmlDoc document;
    const XmlNode* root = ReadDocument(document, "media.xml", text);
    if (root == nullptr) {
        return !text;
    }
    auto& catalogue = ZelvoRelayModel::Instance()->Media;
    uint32_t highest = 0;
    bool leftOut = false;
    for (unsigned int i = 0; i < root->GetNumChildren(); ++i) {
        const ZelvoRelay::MVC::Model::MediaModel item = ReadCatalogueItem(*root->GetChild(i));
        // Read as 0, an id that names no number would take item 0's place; and an item
        // dropped without a word would be gone from the file after the next save while its
        // photo stays on the disk.
        const std::optional<uint32_t> id = StoredMediaId::Of(item.mId);
        const char* const fault = !id                                   ? "its id is no number"
                                  : catalogue.FindMedia(*id) != nullptr ? "its id is already in use"
                                                                        : nullptr;
        if (fault != nullptr) {
            PrintLogMessage(String::Parse("Media item \"%s\" (%s) left out of the catalogue: %s\n",
                                          EscapeLogText(item.mId).CStr(),
                                          EscapeLogText(item.mTitle.mText).CStr(), fault));
            leftOut = true;
            continue;
        }
        catalogue.Add(item);
        if (*id > highest) {
            highest = *id;
        }
    }
    if (root->GetNumChildren() > 0) {
        ZelvoRelay::MVC::Model::MediaModel::SetMediaIdCounter(highest + 1);
    }
    if (!leftOut) {
        return true;
    }
    String kept;
    if (!KeepAsRead("media.xml", *text, kept)) {
        EndStartUp(
            String::Parse("media.xml as read cannot be kept as %s: start-up ends, or the "
                          "next save would drop the items left out\n",
                          kept.CStr()));
    }
    PrintLogMessage(String::Parse("media.xml as read is kept as %s\n", kept.CStr()));
    return false;
}

bool AppInitCommand::KeepAsRead(const String& path, const String& text, String& kept) {
    const System::Utility::FileSystem files;
    // An earlier copy may hold what an operator has not mended yet.
    String newest;
    kept = StoredFile::FreeCopyName(path, &newest);
    // A server killed before its first save, and started again (a crash loop under a
    // service manager), would otherwise add one more copy of the same bytes each time. A
    // link is no copy this server made: it may lead to the very file the next save replaces.
    if (newest.Length() != 0 && files.FollowLinks(newest) == newest &&
        System::IO::FileStream(newest, 3).HoldsExactly(text)) {
        kept = newest;
        return true;
    }
    // The bytes read, not a copy of the path: the file may be a link, and the file it leads
    // to may have changed since. A copy, not a move, so that start-up may still end leaving
    // the file where it was. Created only where nothing is, so that even a name taken since
    // it was looked at is never written over.
    return StoredFile::WriteNew(kept, text, path, true);
}

void AppInitCommand::EndStartUp(const String& message) {
    PrintLogMessage(message);
    WaitForConsole(std::chrono::steady_clock::now() + kConsoleEndWait);
    std::exit(1);
}

void AppInitCommand::ConfigureRelay() {
    const auto& config = AdminModel::Instance()->mConfig;
    ZelvoRelayModel* relay = ZelvoRelayModel::Instance();
    relay->Configuration.MaxMediaSize = static_cast<uint32_t>(config.MaxMediaSize.ToInt());
    relay->Configuration.MediaPath = config.MediaPath;
    relay->Configuration.MediaPreviewHeight =
        static_cast<uint32_t>(config.MediaPreviewHeight.ToInt());
    relay->Configuration.MediaPreviewWidth =
        static_cast<uint32_t>(config.MediaPreviewWidth.ToInt());
    relay->Audio.CompressionQuality = static_cast<uint32_t>(config.AudioCompressionQuality.ToInt());
    relay->Room.Name = config.RoomName;
    relay->Room.Summary = config.RoomSummary;
    relay->Room.MaxClients = static_cast<uint32_t>(config.RoomMaxClients.ToInt());
    relay->Room.IsPublic = config.RoomIsPublic.ToBool();
    // The preview is made at exactly this size; at one no image may have, every upload
    // would be accepted and then end without an item, and nothing would say why.
    const auto& relayConfig = relay->Configuration;
    if (!System::Resource::Image::IsAllowedSize(
            relayConfig.MediaPreviewWidth, relayConfig.MediaPreviewHeight, /*bytesPerPixel=*/1)) {
        PrintLogMessage(String::Parse(
            "config.xml: no preview can be made at MediaPreviewWidth x MediaPreviewHeight = %d x "
            "%d (each must be 1 or more, and the two together at most %llu pixels); every photo "
            "upload will end without an item\n",
            config.MediaPreviewWidth.ToInt(), config.MediaPreviewHeight.ToInt(),
            static_cast<unsigned long long>(System::Resource::Image::kMaxPixels)));
    }
}

void AppInitCommand::StartServers() {
    AdminModel* admin = AdminModel::Instance();
    admin->mObserver = std::make_unique<RelayObserver>();
    const auto port = static_cast<uint16_t>(admin->mConfig.RelayServerPort.ToInt());
    const System::Net::IPEndPoint relayEnd(System::Net::IPAddress::Any(), port);
    ZelvoRelayModel::Instance()->Server.Host(relayEnd.SwapEndian());
    admin->mPolicyServer.Host();
    const String user = admin->mConfig.SwitchboardUsername;
    const String password = admin->mConfig.SwitchboardPassword;
    if (admin->mConfig.SwitchboardAutoLogin.ToBool() && user.Length() != 0 &&
        password.Length() != 0) {
        LoginEvent login(user, password);
        login.Dispatch();
    }
}
