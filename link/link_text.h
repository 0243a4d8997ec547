// Fixed-size UTF-16 text buffers and the few formats the link's texts use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The text held in a terminated buffer.
template <std::size_t N>
std::u16string_view TextOf(const std::array<char16_t, N>& buffer) {
    std::size_t length = 0;
    while (length < N && buffer[length] != u'\0') ++length;
    return {buffer.data(), length};
}

// Copies a text into a buffer, cut to fit, always terminated.
template <std::size_t N>
void CopyText(std::array<char16_t, N>& buffer, std::u16string_view text) {
    static_assert(N > 0);
    const std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::size_t i = 0;
    for (; i < length; ++i) buffer[i] = text[i];
    for (; i < N; ++i) buffer[i] = u'\0';
}

// `pattern` with its "%s" replaced by `argument`.
std::u16string FormatWithName(std::u16string_view pattern, std::u16string_view argument);
// A number in decimal ("%d").
std::u16string DecimalText(int value);
// A byte in lower-case hexadecimal, at least two characters wide, padded with spaces ("%2x").
std::u16string HexText2(std::uint8_t value);
