#include "System/MVC/Controller.h"

#include "System/Collections/HashFunctions.h"

namespace System::MVC {

void Controller::Set(const String& name, ICommand* command) {
    if (command == nullptr) {
        Control().Remove(name);
    } else {
        Control().Set(name, command);
    }
}

ICommand* Controller::GetAction(const String& name) {
    auto* entry = Control().Find(name);
    return entry != nullptr ? entry->mValue : nullptr;
}

String Controller::GetCondition(ICommand*) {
    return String();
}

Collections::Hash<String, ICommand*>& Controller::Control() {
    // Built on first use, so a registration or dispatch from another static
    // object's constructor cannot meet an unbuilt table; never destroyed, so one
    // from a static destructor cannot meet a destroyed one.
    static auto* table =
        new Collections::Hash<String, ICommand*>(1024, Collections::HashFunctions::StringHash);
    return *table;
}

}  // namespace System::MVC
