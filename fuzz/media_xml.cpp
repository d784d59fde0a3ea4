// media.xml as start-up reads it: the file imported, each item read as an Atom entry with
// its Media RSS group and added to a catalogue under the id its entry names.
#include "System/Resource/Feeds/AtomSerializer.h"
#include "System/Resource/Feeds/MediaRssSerializer.h"
#include "System/Utility/Convert.h"
#include "System/Xml/XmlDoc.h"
#include "ZelvoRelay/Collections/MediaCollection.h"
#include "fuzz/Fuzz.h"

using System::Xml::XmlNode;
using ZelvoRelay::MVC::Model::MediaModel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Fuzz::ScratchFile("media.xml", data, size);
    System::Xml::XmlDoc document;
    const XmlNode* root = document.Import(path.c_str());
    if (root == nullptr) {
        return 0;
    }
    ZelvoRelay::Collections::MediaCollection catalogue;
    for (unsigned int i = 0; i < root->GetNumChildren(); ++i) {
        const XmlNode& node = *root->GetChild(i);
        MediaModel item;
        const auto feed = System::Resource::Feeds::AtomSerializer().Deserialize(node);
        if (feed.mEntries.Count() > 0) {
            static_cast<System::Resource::Feeds::AtomEntry&>(item) = feed.mEntries[0];
        }
        if (const XmlNode* group = node.GetChild("group")) {
            item.mMediaGroup = System::Resource::Feeds::MediaRssSerializer().Deserialize(*group);
        }
        item.mMediaId = static_cast<uint32_t>(System::Utility::Convert::ToInt(item.mId));
        catalogue.Add(item);
        FUZZ_CHECK(catalogue.FindMedia(item.mMediaId) != nullptr);
    }
    return 0;
}
