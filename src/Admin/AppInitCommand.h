#pragma once

#include "System/MVC/ICommand.h"
#include "System/String.h"
#include "System/Xml/XmlDoc.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"

#include <cstdint>
#include <optional>

// Start-up, run once on the main thread for "AppInitEvent" before the main loop: ends with
// status 1 when the thread that takes the stop signals or the console's writer does not run,
// reads "config.xml" into the configuration and the room's accounts, loads the message texts,
// registers the administration commands, applies the command line, loads "media.xml"
// into the catalogue, removes the temporary files of saves cut short, saves when a password
// was given on the command line, copies the configuration into the relay models, takes up
// the files of removed items that an earlier run left named for deletion (DeletionList),
// creates the console observer, starts the relay and policy servers, and logs in to the
// switchboard when so configured.
//
// The command-line options -sp, -ap, -mp and -up (or --switchboardPassword,
// --adminPassword, --modPassword, --userPassword) take their value from the next word or
// after "=" in the same word; -h (--help) and -v (--version) print their text and end
// the process with status 0. A "config.xml" or "media.xml" that exists but cannot be read,
// or one that must be kept as read and cannot be, ends it with status 1 before anything is
// hosted or saved.
class AppInitCommand : public System::MVC::ICommand {
  public:
    AppInitCommand() = default;
    // Deletes the commands that Execute registered and removes them from the controller.
    ~AppInitCommand() override;
    AppInitCommand(const AppInitCommand&) = delete;
    AppInitCommand& operator=(const AppInitCommand&) = delete;

    // event is the AppInitEvent with the process arguments.
    void Execute(System::MVC::EventDispatcher* event) override;

    // One item of media.xml: its Atom entry, its Media RSS group and the id the entry
    // names (StoredMediaId; 0 when it names none).
    static ZelvoRelay::MVC::Model::MediaModel ReadCatalogueItem(const System::Xml::XmlNode& node);

  private:
    // Ends start-up (EndStartUp) when a thread the process needs from start-up on is not
    // running: the one that takes the stop signals, or the console's writer, which it starts.
    static void RequireStartUpThreads();
    // The text of the file at path, none when there is no such file. A file that exists
    // but cannot be read (permissions, a directory, an I/O error) is reported on the
    // console and ends the process with status 1.
    static std::optional<System::String> ReadText(const System::String& path);
    static void LoadConfiguration(const std::optional<System::String>& text);
    static void LoadMessageTexts();
    static void RegisterCommands();
    // Applies the password options; returns whether one was given. Ends the process for
    // -h and -v.
    static bool ApplyCommandLine(int argc, char** argv);
    // Adds the items of media.xml to the catalogue. An item whose id names no number, or
    // one already read, is left out and logged; media.xml as read is then kept (KeepAsRead),
    // so that what the next save drops can still be mended and put back. Returns whether
    // the catalogue is media.xml as written: false when the file was kept as read.
    static bool LoadCatalogue(const std::optional<System::String>& text);
    // Writes text, the file at path as read, to the first free name of path + ".bad",
    // ".bad.1", ".bad.2", ..., which kept gets; an earlier copy is never written over. When
    // the newest copy (the last name taken) already holds text, no copy is made and kept
    // names that one. Returns whether a copy holding text is on the disk whole.
    static bool KeepAsRead(const System::String& path, const System::String& text,
                           System::String& kept);
    // Removes what saves cut short by a kill left of their temporary files (config.xml,
    // media.xml and the list of files to delete), each logged. After the files are read and the
    // command line applied, so that a start that ends before (-h, a file that cannot be read)
    // touches no file.
    static void RemoveLeftoversOfSaves();
    // Logs message and ends the process with status 1, before anything is hosted or saved.
    [[noreturn]] static void EndStartUp(const System::String& message);
    // Copies the settings into the relay's models, and warns of a preview size at which
    // no preview can be made.
    static void ConfigureRelay();
    static void StartServers();

    // The root of the document text read from the file at path, or null when there is
    // no such file; a file that is no XML document is kept (KeepAsRead) and reported on
    // the console, or, when it cannot be kept, ends start-up.
    static System::Xml::XmlNode* ReadDocument(System::Xml::XmlDoc& document,
                                              const System::String& path,
                                              const std::optional<System::String>& text);
};
