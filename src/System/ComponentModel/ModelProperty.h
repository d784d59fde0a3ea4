#pragma once

#include "System/ComponentModel/INotifyPropertyChanged.h"
#include "System/Property.h"

namespace System::ComponentModel {

// A property of an observable model: an assignment raises the property's Changed,
// then the owner's PropertyChanged with the property's name.
template <class T>
class ModelProperty : public Property<T> {
  public:
    // REQUIRES: owner is not null and outlives the property.
    ModelProperty(const String& name, INotifyPropertyChanged* owner)
        : Property<T>(name), mOwner(owner) {}

    // A copy would announce its changes to the original's owner; a copied model
    // builds its properties with itself as owner instead.
    ModelProperty(const ModelProperty&) = delete;

    ModelProperty& operator=(const T& value) {
        Property<T>::operator=(value);
        mOwner->PropertyChanged.Raise(static_cast<void*>(mOwner), this->mName);
        return *this;
    }

    // Takes other's name and value, and announces the change as a value assignment
    // does; the owner stays.
    ModelProperty& operator=(const ModelProperty& other) {
        if (this != &other) {
            this->mName = other.mName;
        }
        return *this = other.mValue;
    }

    INotifyPropertyChanged* mOwner;  // the model this property belongs to; not owned
};

}  // namespace System::ComponentModel
