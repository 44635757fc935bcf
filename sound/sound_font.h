#pragma once

#include <string>

namespace piano {

// Where the distribution keeps its default General MIDI SoundFont; empty when there is none.
std::string findDefaultSoundFont();

} // namespace piano
