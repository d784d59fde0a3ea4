#pragma once

#include "System/Object.h"
#include "System/String.h"

namespace System::Xml {

// A name with a text value: an XML attribute, and the name and text of an element.
// Typed reads never fail: a value that is missing or does not fit reads as false, 0 or 0.0.
class XmlItem : public Object {
  public:
    XmlItem() = default;
    XmlItem(const String& name, const String& value);

    // Sets the value to "true" or "false".
    void ValueBool(bool b);
    // True when the value is "true" in any case, otherwise when ValueInt() is above 0.
    bool ValueBool() const;

    // Sets the value to the decimal text of i.
    void ValueInt(int i);
    // The leading base-10 integer of the value (white space and a sign allowed), clamped to
    // the int range; 0 when the value does not start with a number.
    int ValueInt() const;

    // Sets the value to d in fixed notation with 16 digits after the point.
    void ValueDouble(double d);
    // The leading floating-point number of the value; 0.0 when there is none.
    double ValueDouble() const;

    String mName;   // attribute or element name, compared byte for byte
    String mValue;  // the text, unescaped
};

}  // namespace System::Xml
