// The decryptor of the passwords stored in config.xml: any stored text deciphers or is
// refused without reading outside its buffers, and any password comes back from its
// encryption unchanged.
#include "Admin/CryptoUtil.h"
#include "fuzz/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const System::String text = Fuzz::Text(data, size);
    (void)CryptoUtil::Decrypt(text);
    FUZZ_CHECK(CryptoUtil::Decrypt(CryptoUtil::Encrypt(text)) == text);
    return 0;
}
