#pragma once

#include <cstdint>

namespace piano {

// The code a key press is looked up by: letters 65 to 90 whatever the case or
// modifiers, digits 48 to 57 (main row and keypad), Enter 13, space 32; every
// other key gets a code of its own outside those ranges.
std::int32_t keyCodeFor(int qtKey);

} // namespace piano
