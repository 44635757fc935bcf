#pragma once

#include "midi_backend.h"

#include <bitset>
#include <cstdint>

namespace piano {

// The program's one MIDI output: opens a device of the backend and sends
// note on / note off on channel number 0.
class MidiPort {
public:
    explicit MidiPort(MidiBackend& backend);
    ~MidiPort();
    MidiPort(const MidiPort&) = delete;
    MidiPort& operator=(const MidiPort&) = delete;

    int deviceCount();
    bool open(int index);
    bool isOpen() const { return open_; }
    void sendNoteOn(std::int32_t note);
    void sendNoteOff(std::int32_t note);
    // Silences any note still on before closing, so no synthesizer is left with a hanging note.
    void close();

    static std::uint32_t noteOnMessage(std::int32_t note);
    static std::uint32_t noteOffMessage(std::int32_t note);

private:
    void send(std::uint32_t message);

    MidiBackend& backend_;
    bool open_ = false;
    std::bitset<256> on_;
};

} // namespace piano
