// Bytes of a bar file as UTF-8 text: byte-order marks, UTF-16 files and
// header names in the two common Windows code pages.
#pragma once

#include <string>
#include <string_view>

namespace zorvane_cli {

// The text without a UTF-8 byte-order mark; UTF-16 text (with its mark)
// converted to UTF-8. Anything else is returned as it stands.
std::string asUtf8Text(std::string bytes);

bool isValidUtf8(std::string_view text);

// Bytes read as Windows-1252 (Western) or Windows-1251 (Cyrillic), as UTF-8.
enum class CodePage { Western, Cyrillic };
std::string fromCodePage(std::string_view bytes, CodePage page);

// Calls `each(codePoint)` for every code point of valid UTF-8 text.
template <class Each>
void forEachCodePoint(std::string_view text, Each each) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length && i + k < text.size(); ++k)
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        each(point);
        i += length;
    }
}

void appendUtf8(std::string& out, char32_t point);

}  // namespace zorvane_cli
