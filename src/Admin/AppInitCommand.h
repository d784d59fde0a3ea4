#pragma once

#include "System/MVC/ICommand.h"
#include "System/String.h"
#include "System/Xml/XmlDoc.h"
#include "ZelvoRelay/MVC/Model/MediaModel.h"

#include <cstdint>
#include <optional>

// Start-up, run once on the main thread for "AppInitEvent" before the main loop: reads
// "config.xml" into the configuration and the room's accounts, loads the message texts,
// registers the administration commands, applies the command line, loads "media.xml"
// into the catalogue, saves when a password was given on the command line, copies the
// configuration into the relay models, creates the console observer, starts the relay
// and policy servers, and logs in to the switchboard when so configured.
//
// The command-line options -sp, -ap, -mp and -up (or --switchboardPassword,
// --adminPassword, --modPassword, --userPassword) take their value from the next word or
// after "=" in the same word; -h (--help) and -v (--version) print their text and end
// the process with status 0. A "config.xml" or "media.xml" that exists but cannot be read
// ends it with status 1 before anything is hosted or written.
class AppInitCommand : public System::MVC::ICommand {
  public:
    AppInitCommand() = default;
    // Deletes the commands that Execute registered and removes them from the controller.
    ~AppInitCommand() override;
    AppInitCommand(const AppInitCommand&) = delete;
    AppInitCommand& operator=(const AppInitCommand&) = delete;

    // event is the AppInitEvent with the process arguments.
    void Execute(System::MVC::EventDispatcher* event) override;

    // The media id an Atom id text names, as the unsigned 32-bit number it is: written
    // signed, as ids above 2147483647 are saved ("-2147483648"), or unsigned, as another
    // tool may write them ("4294967295"). Leading white space and text after the number are
    // passed over, as for any number read from the files. None when the text begins with no
    // number or the number is out of range in both forms.
    [[nodiscard]] static std::optional<uint32_t> MediaIdOf(const System::String& text);

    // One item of media.xml: its Atom entry, its Media RSS group and the id the entry
    // names (MediaIdOf; 0 when it names none).
    static ZelvoRelay::MVC::Model::MediaModel ReadCatalogueItem(const System::Xml::XmlNode& node);

  private:
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
    // one already read, is left out and logged; media.xml as read is then kept as
    // media.xml.bad, so that what the next save drops can still be mended and put back.
    static void LoadCatalogue(const std::optional<System::String>& text);
    // Writes text, media.xml as read, to media.xml.bad and logs where it is.
    static void KeepCatalogueAsRead(const System::String& text);
    // Copies the settings into the relay's models, and warns of a preview size at which
    // no preview can be made.
    static void ConfigureRelay();
    static void StartServers();

    // The root of the document text read from the file at path, or null when there is
    // no such file; a file that is no XML document is moved aside to path + ".bad" and
    // reported on the console.
    static System::Xml::XmlNode* ReadDocument(System::Xml::XmlDoc& document,
                                              const System::String& path,
                                              const std::optional<System::String>& text);
};
