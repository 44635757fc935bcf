// textToInt against a plain byte-pattern reading with 128-bit arithmetic.
#include "text_number.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace {

// The ASCII character the bytes at i stand for after folding full-width forms,
// or -1 for anything else (which ends every part of the reading).
int foldedAt(std::string_view s, std::size_t& i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    if (b(i) < 0x80)
        return b(i++);
    if (i + 2 < s.size()) {
        // U+3000 ideographic space is E3 80 80.
        if (b(i) == 0xE3 && b(i + 1) == 0x80 && b(i + 2) == 0x80) {
            i += 3;
            return ' ';
        }
        // U+FF01 to U+FF3F are EF BC 81..BF, U+FF40 to U+FF5E are EF BD 80..9E.
        if (b(i) == 0xEF && b(i + 1) == 0xBC && b(i + 2) >= 0x81 && b(i + 2) <= 0xBF) {
            const int c = 0x21 + (b(i + 2) - 0x81);
            i += 3;
            return c;
        }
        if (b(i) == 0xEF && b(i + 1) == 0xBD && b(i + 2) >= 0x80 && b(i + 2) <= 0x9E) {
            const int c = 0x21 + 0x3F + (b(i + 2) - 0x80);
            i += 3;
            return c;
        }
    }
    ++i;
    return -1;
}

std::int32_t reference(std::string_view s)
{
    std::size_t i = 0;
    int c = i < s.size() ? foldedAt(s, i) : 0;
    const auto next = [&] { c = i < s.size() ? foldedAt(s, i) : 0; };
    while (c == ' ' || (c >= '\t' && c <= '\r'))
        next();
    __int128 sign = 1;
    if (c == '+' || c == '-') {
        sign = c == '-' ? -1 : 1;
        next();
    }
    __int128 value = 0;
    const __int128 cap = static_cast<__int128>(1) << 40;
    while (c >= '0' && c <= '9') {
        value = value * 10 + (c - '0');
        if (value > cap)
            value = cap;
        next();
    }
    value *= sign;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::int32_t got = piano::textToInt(text);
    const std::int32_t want = reference(text);
    if (got != want) {
        std::fprintf(stderr, "textToInt gave %d, expected %d\n", got, want);
        std::abort();
    }
    return 0;
}
