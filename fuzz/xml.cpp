// XML documents: any text loads or is refused, and a loaded tree written out (compact or
// indented) loads back to the same tree. Bytes that XML cannot hold are dropped by the
// writer, so a tree holding them need only come back the same from its second writing.
#include "System/Xml/XmlDoc.h"
#include "fuzz/Fuzz.h"
#include "fuzz/XmlTree.h"

using System::String;
using System::Xml::XmlDoc;
using System::Xml::XmlNode;

namespace {

// Writes node and loads what was written into document.
const XmlNode& ReadBack(XmlDoc& document, const XmlNode& node, bool pretty) {
    const String written = node.ToString(pretty);
    const XmlNode* read = document.Load(written);
    if (read == nullptr) {
        std::fprintf(stderr, "written:\n%s\n", written.CStr());
        FUZZ_CHECK(!"what is written loads again");
    }
    return *read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XmlDoc document;
    const XmlNode* root = document.Load(Fuzz::Text(data, size));
    if (root == nullptr) {
        return 0;
    }
    XmlDoc cleaned;
    const XmlNode& tree = Fuzz::IsWritable(*root) ? *root : ReadBack(cleaned, *root, false);
    // The writer writes only what conforming readers accept.
    FUZZ_CHECK(Fuzz::IsWritable(tree));
    for (bool pretty : {false, true}) {
        XmlDoc again;
        const XmlNode& read = ReadBack(again, tree, pretty);
        if (!Fuzz::Equal(read, tree)) {
            std::fprintf(stderr, "written:\n%s\nread back:\n%s\n", tree.ToString(pretty).CStr(),
                         read.ToString(pretty).CStr());
            FUZZ_CHECK(!"the tree comes back equal");
        }
    }
    return 0;
}
