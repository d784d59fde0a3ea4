// The decryptor of the passwords stored in config.xml: any stored text deciphers or is
// refused without reading outside its buffers, and any password, the empty one too,
// comes back from its encryption unchanged and reported as deciphered.
#include "Admin/CryptoUtil.h"
#include "fuzz/Fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const System::String text = Fuzz::Text(data, size);
    System::String plain;
    (void)CryptoUtil::Decrypt(text, plain);
    FUZZ_CHECK(CryptoUtil::Decrypt(CryptoUtil::Encrypt(text), plain) && plain == text);
    return 0;
}
