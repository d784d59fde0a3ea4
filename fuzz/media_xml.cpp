// media.xml as start-up reads it: the file imported, each item read as an Atom entry with
// its Media RSS group and added to a catalogue under the id its entry names.
#include "Admin/AppInitCommand.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "fuzz/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    System::Xml::XmlDoc document;
    const System::Xml::XmlNode* root = Fuzz::ImportFile(document, "media.xml", data, size);
    if (root == nullptr) {
        return 0;
    }
    ZelvoRelay::Collections::MediaCollection catalogue;
    for (unsigned int i = 0; i < root->GetNumChildren(); ++i) {
        const auto item = AppInitCommand::ReadCatalogueItem(*root->GetChild(i));
        catalogue.Add(item);
        FUZZ_CHECK(catalogue.FindMedia(item.mMediaId) != nullptr);
    }
    return 0;
}
