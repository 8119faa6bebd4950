#pragma once

// The handheld's single-byte character set, Windows-1252.

#include <string>
#include <string_view>

namespace charset {

// UTF-8 text to Windows-1252 bytes. A character the set cannot hold, and
// every malformed UTF-8 sequence, becomes "?". The C1 controls U+0081,
// U+008D, U+008F, U+0090 and U+009D map to their own byte values.
std::string utf8ToCp1252(std::string_view utf8);

// Windows-1252 bytes to UTF-8. The five bytes the set leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value,
// so every byte string converts back unchanged.
std::string cp1252ToUtf8(std::string_view bytes);

} // namespace charset
