#include "Admin/AppInitCommand.h"

#include "System/Xml/XmlDoc.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using TestSupport::Bytes;

// The media id of a catalogue item whose Atom id is written as idText.
uint32_t IdOfItemWith(const std::string& idText) {
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* item = document.Load(
        Bytes("<item><entry><id>" + idText + "</id><title>t</title></entry><group /></item>"));
    EXPECT_NE(item, nullptr) << idText;
    return item == nullptr ? 0xDEADBEEF : AppInitCommand::ReadCatalogueItem(*item).mMediaId;
}

// An id above 2147483647 is saved signed, and another tool may write it unsigned: both forms
// name the same unsigned id, so no two items merge. Text that names no 32-bit id reads as 0,
// as text that begins with no number does.
TEST(AppInitCommand, CatalogueItemIdsReadAsTheUnsignedNumbersTheyName) {
    const struct {
        const char* text;
        uint32_t id;
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
        {"abc", 0},
        {"0x10", 0},
        {"4294967296", 0},
        {"-2147483649", 0},
        {"99999999999999999999999", 0},
        {"-99999999999999999999999", 0},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(IdOfItemWith(test.text), test.id) << test.text;
    }
    EXPECT_EQ(IdOfItemWith(""), 0u);
}

}  // namespace
