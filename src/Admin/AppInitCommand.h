#pragma once

#include "System/MVC/ICommand.h"
#include "System/String.h"
#include "System/Xml/XmlDoc.h"

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
// the process with status 0.
class AppInitCommand : public System::MVC::ICommand {
  public:
    AppInitCommand() = default;
    // Deletes the commands that Execute registered and removes them from the controller.
    ~AppInitCommand() override;
    AppInitCommand(const AppInitCommand&) = delete;
    AppInitCommand& operator=(const AppInitCommand&) = delete;

    // event is the AppInitEvent with the process arguments.
    void Execute(System::MVC::EventDispatcher* event) override;

  private:
    static void LoadConfiguration();
    static void LoadMessageTexts();
    static void RegisterCommands();
    // Applies the password options; returns whether one was given. Ends the process for
    // -h and -v.
    static bool ApplyCommandLine(int argc, char** argv);
    static void LoadCatalogue();
    static void ConfigureRelay();
    static void StartServers();

    // The root of the file at path, or null when it is missing or cannot be read; a file
    // that exists but is no XML document is moved aside to path + ".bad" and reported on
    // the console.
    static System::Xml::XmlNode* ReadDocument(System::Xml::XmlDoc& document,
                                              const System::String& path);
};
