// Atom and Media RSS reading: any XML element reads as a feed and as a media group, and
// what the serializers write of it reads back to the same feed and group.
#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "System/Xml/XmlDoc.h"
#include "fuzz/Fuzz.h"
#include "fuzz/XmlTree.h"

using System::Xml::XmlNode;

namespace {

// Reads node with serializer and writes what was read; that writing, read and written
// again, must come back the same unless it held bytes that XML cannot hold.
template <class Serializer>
void CheckReadBack(const XmlNode& node) {
    const Serializer serializer;
    const XmlNode once = serializer.Serialize(serializer.Deserialize(node));
    System::Xml::XmlDoc document;
    const XmlNode* read = document.Load(once.ToString(false));
    FUZZ_CHECK(read != nullptr);
    const XmlNode twice = serializer.Serialize(serializer.Deserialize(*read));
    if (Fuzz::IsWritable(once) && !Fuzz::Equal(once, twice)) {
        std::fprintf(stderr, "once:\n%s\ntwice:\n%s\n", once.ToString(false).CStr(),
                     twice.ToString(false).CStr());
        FUZZ_CHECK(!"a feed written reads back the same");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    System::Xml::XmlDoc document;
    const XmlNode* root = document.Load(Fuzz::Text(data, size));
    if (root != nullptr) {
        CheckReadBack<System::Resource::Feeds::AtomSerializer>(*root);
        CheckReadBack<System::Resource::Feeds::MediaRssSerializer>(*root);
    }
    return 0;
}
