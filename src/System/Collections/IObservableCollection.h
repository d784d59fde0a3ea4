#pragma once

#include "System/Collections/CollectionChangedAction.h"
#include "System/Collections/IList.h"
#include "System/Event.h"

namespace System::Collections {

// A list that announces every change after it is complete.
template <typename T>
class IObservableCollection : public IList<T> {
  public:
    // Raised with (the collection, the action, the added item, the removed item, the
    // position) on the thread that made the change.
    Event<void*, CollectionChangedAction::Action, T*, T*, int> CollectionChanged;
};

}  // namespace System::Collections
