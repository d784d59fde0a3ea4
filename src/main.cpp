#include "Admin/MainApp.h"
#include "Application/App.h"

int main(int argc, char** argv) {
    // Built here rather than as a global, so that it never depends on the order in
    // which the linker runs the constructors of other statics.
    MainApp app;
    return Application::App::EntryPoint(argc, argv);
}
