#pragma once

#include <cstdint>
#include <memory>

class RtMidiOut;

namespace piano {

// The system's MIDI output ports as RtMidi numbers them (ALSA sequencer, or winmm on Windows).
// A system without a sequencer simply has no ports; nothing is ever printed.
class RtMidiOutputs {
public:
    RtMidiOutputs();
    ~RtMidiOutputs();
    RtMidiOutputs(const RtMidiOutputs&) = delete;
    RtMidiOutputs& operator=(const RtMidiOutputs&) = delete;

    int count();
    bool open(int index);
    bool send(std::uint32_t shortMessage);
    void close();

private:
    std::unique_ptr<RtMidiOut> out_;
    bool open_ = false;
    bool failed_ = false;
};

// Bytes in a packed short message, 0 when it is no valid short message.
int shortMessageLength(std::uint32_t shortMessage);

} // namespace piano
