#pragma once

namespace System::Collections::CollectionChangedAction {

// What a collection-changed notice reports. The numbers are fixed: 2 is not used.
enum Action {
    Add = 0,     // an item was placed; the notice carries it and its position
    Remove = 1,  // an item was taken out; the notice carries it and its former position
    Reset = 3,   // the collection was cleared; no item, position 0
};

}  // namespace System::Collections::CollectionChangedAction
