// config.xml as start-up reads it: the file imported, every attribute of the root stored
// as a configuration key and read back as the relay reads its settings, and every stored
// password of the accounts deciphered.
#include "Admin/ConfigProperty.h"
#include "Admin/CryptoUtil.h"
#include "Application/AppModel.h"
#include "System/Xml/XmlDoc.h"
#include "fuzz/Fuzz.h"

using System::String;
using System::Xml::XmlNode;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    System::Xml::XmlDoc document;
    const XmlNode* root = Fuzz::ImportFile(document, "config.xml", data, size);
    if (root == nullptr) {
        return 0;
    }
    for (unsigned int i = 0; i < root->GetNumAttributes(); ++i) {
        const System::Xml::XmlItem* attribute = root->GetAttribute(i);
        ConfigProperty key(attribute->mName);
        key = attribute->mValue;
        FUZZ_CHECK(String(key) == attribute->mValue);
        (void)key.ToInt();
        (void)key.ToBool();
    }
    String plain;
    (void)CryptoUtil::Decrypt(ConfigProperty("SwitchboardPassword"), plain);
    for (unsigned int n = 1; const XmlNode* privileges = root->GetChild("privileges", n); ++n) {
        for (unsigned int i = 0; i < privileges->GetNumChildren(); ++i) {
            const XmlNode* account = privileges->GetChild(i);
            (void)CryptoUtil::Decrypt(account->GetAttributeValue("password"), plain);
            (void)account->GetAttributeValueBool("isEnabled");
        }
    }
    AppModel::Destroy();
    return 0;
}
