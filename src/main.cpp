#include "Admin/MainApp.h"
#include "Application/App.h"
#include "System/Utility/AllocatorArenas.h"

int main(int argc, char** argv) {
    // Before any thread exists, so that no thread has made an arena of its own yet.
    System::Utility::AllocatorArenas::Bound();
    // Built here rather than as a global, so that it never depends on the order in
    // which the linker runs the constructors of other statics.
    MainApp app;
    return Application::App::EntryPoint(argc, argv);
}
