#pragma once

#include "System/String.h"

// Protection of the passwords stored in "config.xml", and the digests that joins are
// checked against. The key, IV and salt are fixed: a file written with other values
// cannot be read back. This hides the passwords from a casual reader of the file; it
// does not protect them from anyone who has the program.
class CryptoUtil {
  public:
    CryptoUtil() = delete;

    // The Base64 text of salt + text enciphered with AES-128-CBC (padding to whole
    // blocks, a whole block of padding after whole blocks). Never empty.
    [[nodiscard]] static System::String Encrypt(const System::String& text);

    // The reverse of Encrypt: true, with text set to the deciphered text without the
    // salt (empty for the encryption of the empty text). False, with text empty, when
    // the value deciphers to nothing that begins with the salt: a value Encrypt did not
    // make (a password written plain, a damaged one) is known as such.
    [[nodiscard]] static bool Decrypt(const System::String& encoded, System::String& text);

    // The SHA-256 digest of text's bytes as a string of 32 raw bytes.
    [[nodiscard]] static System::String Hash(const System::String& text);
};
