#pragma once

#include "event_pump.h"
#include "midi_port.h"

#include <cstdint>

namespace piano {

// A single voice: at most one note sounds at a time.
class NotePlayer {
public:
    explicit NotePlayer(EventPump& pump);

    // Set once at start-up; until then notes are tracked but nothing is sent.
    void setPort(MidiPort* port) { port_ = port; }
    // Duration 0 or less leaves the note on until stop().
    void playNote(std::int32_t note, std::int32_t durationMs);
    void stop();
    std::int32_t soundingNote() const { return sounding_; }

private:
    EventPump& pump_;
    MidiPort* port_ = nullptr;
    std::int32_t sounding_ = 0;
};

} // namespace piano
