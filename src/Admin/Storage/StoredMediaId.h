#pragma once

#include "System/String.h"

#include <cstdint>
#include <optional>

// The media ids that the stored files write as text: the Atom ids of "media.xml" and the
// photo and preview names of "media.xml.delete".
class StoredMediaId {
  public:
    StoredMediaId() = delete;

    // The media id an id text names, as the unsigned 32-bit number it is: written signed, as
    // ids above 2147483647 are saved ("-2147483648"), or unsigned, as another tool may write
    // them ("4294967295"). Leading white space and text after the number are passed over, as
    // for any number read from the files. None when the text begins with no number or the
    // number is out of range in both forms.
    [[nodiscard]] static std::optional<uint32_t> Of(const System::String& text);
};
