#include "text_number.h"

#include <limits>

namespace piano {

namespace {

// Decodes one character at text[i]; full-width forms come back as their ASCII equivalents.
// Anything that is not ASCII after folding comes back as 0x80, which is never a digit, sign or blank.
char32_t foldedCharAt(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    // Full-width forms and the ideographic space are all three-byte sequences.
    if (lead == 0xE3 || lead == 0xEF) {
        if (i + 2 < text.size() && (byte(i + 1) & 0xC0) == 0x80 && (byte(i + 2) & 0xC0) == 0x80) {
            const char32_t cp = (lead & 0x0Fu) << 12 | (byte(i + 1) & 0x3Fu) << 6 | (byte(i + 2) & 0x3Fu);
            i += 3;
            if (cp == 0x3000)
                return U' ';
            if (cp >= 0xFF01 && cp <= 0xFF5E)
                return cp - 0xFF01 + 0x21;
            return 0x80;
        }
    }
    ++i;
    return 0x80;
}

bool isBlank(char32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

std::int32_t textToInt(std::string_view text)
{
    std::size_t i = 0;
    char32_t c = 0;
    const auto next = [&]() { c = i < text.size() ? foldedCharAt(text, i) : 0; };
    next();
    while (isBlank(c))
        next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        next();
    }
    // Accumulate as a negative number so that the minimum fits exactly.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    while (c >= '0' && c <= '9') {
        if (value > -(kMax + 2))
            value = value * 10 - static_cast<std::int64_t>(c - '0');
        next();
    }
    if (negative)
        return static_cast<std::int32_t>(value < kMin ? kMin : value);
    return static_cast<std::int32_t>(-value > kMax ? kMax : -value);
}

} // namespace piano
