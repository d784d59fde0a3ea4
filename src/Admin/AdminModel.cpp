#include "Admin/AdminModel.h"

AdminModel::~AdminModel() {
    mObserver.reset();
}

// Both texts are built on first use, so that they are ready whenever the first caller
// runs, before main or after, whatever order the linker gives the static constructors.

const System::String& AdminModel::Version() {
    static const System::String version("Beta 1");
    return version;
}

const System::String& AdminModel::VersionText() {
    static const System::String text = System::String("ZELVO Admin ") + Version() + "\n";
    return text;
}
