#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "System/Object.h"

namespace System::Utility {

// A stretch of a text deflated on its own, to be joined with the stretches around it into
// one zlib stream without deflating the whole text again: a text made of parts that change
// rarely costs only the deflating of the parts that changed. A piece may refer back into
// the text that precedes it, so it is joined only after exactly that text.
class DeflatePiece : public Object {
  public:
    // A piece whose compression failed.
    DeflatePiece() = default;
    // The length bytes of text deflated at level, as the stretch that follows preceding (its
    // last 32 KiB may be referred back to).
    DeflatePiece(const char* text, uint32_t length, const std::string& preceding, int level);
    ~DeflatePiece() override = default;

    DeflatePiece(const DeflatePiece&) = default;
    DeflatePiece& operator=(const DeflatePiece&) = default;
    DeflatePiece(DeflatePiece&&) = default;
    DeflatePiece& operator=(DeflatePiece&&) = default;

    // Whether the text was deflated: false for a piece whose compression failed.
    [[nodiscard]] bool IsDeflated() const { return !mDeflated.empty(); }

    // The texts of pieces, in order, as one zlib stream, and their total length in
    // textLength; empty when a piece failed. REQUIRES: each piece was made after the text
    // of those before it.
    [[nodiscard]] static std::vector<char> Join(const std::vector<const DeflatePiece*>& pieces,
                                                uint32_t& textLength);

  private:
    uint32_t mLength{0};  // the bytes of text
    uint32_t mAdler{1};   // their Adler-32
    // Raw deflate blocks, none of them final, ending on a byte boundary; empty when
    // compression failed.
    std::vector<char> mDeflated;
};

}  // namespace System::Utility
