#include "link/link_text.h"

std::u16string FormatWithName(std::u16string_view pattern, std::u16string_view argument) {
    std::u16string text(pattern);
    const auto at = text.find(u"%s");
    if (at != std::u16string::npos) text.replace(at, 2, argument);
    return text;
}

std::u16string DecimalText(int value) {
    const bool negative = value < 0;
    auto magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.insert(digits.begin(), u'-');
    return digits;
}

std::u16string HexText2(std::uint8_t value) {
    constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text;
    if (value >= 0x10) text += kDigits[value >> 4];
    text += kDigits[value & 0x0F];
    if (text.size() < 2) text.insert(text.begin(), u' ');
    return text;
}
