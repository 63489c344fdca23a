#include "text_encoding.hpp"

namespace zorvane_cli {
namespace {

std::string fromUtf16(const std::string& bytes, bool bigEndian) {
    std::string text;
    text.reserve(bytes.size() / 2);
    auto unitAt = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;  // a lone surrogate
        appendUtf8(text, unit);
    }
    return text;
}

// Windows-1251 0xC0-0xFF are the Cyrillic capitals and small letters in order.
char32_t cyrillicPoint(unsigned char byte) {
    if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
    if (byte == 0xA8) return 0x0401;
    if (byte == 0xB8) return 0x0451;
    return 0xFFFD;
}

}  // namespace

void appendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

std::string asUtf8Text(std::string bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes.erase(0, 3);
        return bytes;
    }
    if (bytes.rfind("\xFF\xFE", 0) == 0) return fromUtf16(bytes, false);
    if (bytes.rfind("\xFE\xFF", 0) == 0) return fromUtf16(bytes, true);
    return bytes;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (int k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

std::string fromCodePage(std::string_view bytes, CodePage page) {
    std::string text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            text += c;
        else
            appendUtf8(text, page == CodePage::Cyrillic ? cyrillicPoint(byte) : byte >= 0xA0 ? byte : 0xFFFD);
    }
    return text;
}

}  // namespace zorvane_cli
