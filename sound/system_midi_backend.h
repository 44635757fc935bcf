#pragma once

#include "midi_backend.h"

#include <memory>

namespace piano {

// The machine's MIDI outputs: off Windows, device 0 is the built-in
// synthesizer and the system's MIDI outputs follow it.
std::unique_ptr<MidiBackend> makeSystemMidiBackend();

} // namespace piano
