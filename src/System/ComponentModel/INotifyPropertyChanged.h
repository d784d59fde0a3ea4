#pragma once

#include "System/Event.h"
#include "System/Object.h"
#include "System/String.h"

namespace System::ComponentModel {

// Base of a model that announces changes of its members by name.
class INotifyPropertyChanged : public Object {
  public:
    INotifyPropertyChanged() = default;

    // A copy gets an event of its own without subscribers; assignment leaves the
    // events of both sides and their subscribers as they were.
    INotifyPropertyChanged(const INotifyPropertyChanged&) : Object() {}
    INotifyPropertyChanged& operator=(const INotifyPropertyChanged&) { return *this; }

    // Raised with (the model, the name of the member) after a member changed.
    Event<void*, const String&> PropertyChanged;
};

}  // namespace System::ComponentModel
