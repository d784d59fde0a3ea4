#include "Admin/AppInitCommand.h"

#include "Admin/Storage/StoredMediaId.h"
#include "System/Xml/XmlDoc.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace {

using TestSupport::Bytes;

// The media id a catalogue item whose Atom id is written as idText names, if any.
std::optional<uint32_t> IdOfItemWith(const std::string& idText) {
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* item = document.Load(
        Bytes("<item><entry><id>" + idText + "</id><title>t</title></entry><group /></item>"));
    EXPECT_NE(item, nullptr) << idText;
    return item == nullptr ? 0xDEADBEEF
                           : StoredMediaId::Of(AppInitCommand::ReadCatalogueItem(*item).mId);
}

// An id above 2147483647 is saved signed, and another tool may write it unsigned: both forms
// name the same unsigned id, so no two items merge. Text that names no 32-bit id names none,
// as text that begins with no number does: read as 0, it would take item 0's place.
TEST(AppInitCommand, CatalogueItemIdsReadAsTheUnsignedNumbersTheyName) {
    const struct {
        const char* text;
        std::optional<uint32_t> id;
    } cases[] = {
        {"0", 0},
        {"7", 7},
        {"2147483647", 2147483647u},
        {"2147483648", 2147483648u},
        {"-2147483648", 2147483648u},
        {"3000000000", 3000000000u},
        {"-1294967296", 3000000000u},
        {"4294967295", 4294967295u},
        {"-1", 4294967295u},
        {"+12", 12},
        {" 12 ", 12},
        {"12abc", 12},
        {"abc", std::nullopt},
        {"0x10", 0},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"-99999999999999999999999", std::nullopt},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(IdOfItemWith(test.text), test.id) << test.text;
    }
    EXPECT_EQ(IdOfItemWith(""), std::nullopt);
}

}  // namespace
