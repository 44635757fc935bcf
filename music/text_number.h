#pragma once

#include <cstdint>
#include <string_view>

namespace piano {

// Reads a leading decimal number from UTF-8 text the way the tempo box is read:
// full-width ASCII and the full-width blank count as their plain forms, leading
// white space is skipped, one sign is taken, digits run to the first other
// character; no digits gives 0, and a number past the 32-bit range saturates.
std::int32_t textToInt(std::string_view text);

} // namespace piano
