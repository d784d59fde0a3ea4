#include "System/Xml/XmlItem.h"

#include <climits>
#include <cstdlib>

namespace System::Xml {

XmlItem::XmlItem(const String& name, const String& value) : mName(name), mValue(value) {}

void XmlItem::ValueBool(bool b) {
    mValue = b ? "true" : "false";
}

bool XmlItem::ValueBool() const {
    return mValue.ToLower() == "true" || ValueInt() > 0;
}

void XmlItem::ValueInt(int i) {
    mValue = String::Parse("%d", i);
}

int XmlItem::ValueInt() const {
    const char* text = mValue.ToByteArray();
    if (text == nullptr) {
        return 0;
    }
    // long is 64 bits here: clamp rather than let the conversion to int wrap, so values
    // out of range read as they did where long and int had the same width.
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

void XmlItem::ValueDouble(double d) {
    mValue = String::Parse("%.16f", d);
}

double XmlItem::ValueDouble() const {
    const char* text = mValue.ToByteArray();
    return text == nullptr ? 0.0 : std::strtod(text, nullptr);
}

}  // namespace System::Xml
