#pragma once
// What a string may hold that is no character.

#include <cstdint>

namespace kalvo_lorim {

// Whether a value of a string is a Unicode character: not a surrogate code,
// not past U+10FFFF. The toolkit's UTF-8 reading lets both kinds into a
// string, and writing them back out fails or asserts.
inline bool IsCharacter(std::uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

}  // namespace kalvo_lorim
