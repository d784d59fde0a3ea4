#include "Admin/ConfigProperty.h"

#include "Application/AppModel.h"
#include "System/Utility/Convert.h"

using System::Utility::Convert;

ConfigProperty::operator System::String() const {
    return AppModel::Instance()->mConfiguration.Get(mKey);
}

bool ConfigProperty::ToBool() const {
    return Convert::ToBool(*this);
}

int ConfigProperty::ToInt() const {
    return Convert::ToInt(*this);
}

double ConfigProperty::ToDouble() const {
    return Convert::ToDouble(*this);
}

ConfigProperty& ConfigProperty::operator=(const System::String& value) {
    AppModel::Instance()->mConfiguration.Set(mKey, value);
    return *this;
}
