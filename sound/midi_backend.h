#pragma once

#include <cstdint>

namespace piano {

// One MIDI output service: the devices it offers and the one it has open.
// A short message is packed status | data1 << 8 | data2 << 16.
class MidiBackend {
public:
    virtual ~MidiBackend() = default;
    virtual int deviceCount() = 0;
    virtual bool open(int index) = 0;
    virtual bool send(std::uint32_t shortMessage) = 0;
    virtual void close() = 0;
};

} // namespace piano
