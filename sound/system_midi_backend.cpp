#include "system_midi_backend.h"

namespace piano {

namespace {
// Placeholder until the built-in synthesizer lands: no devices.
class NoDevices final : public MidiBackend {
public:
    int deviceCount() override { return 0; }
    bool open(int) override { return false; }
    bool send(std::uint32_t) override { return false; }
    void close() override {}
};
} // namespace

std::unique_ptr<MidiBackend> makeSystemMidiBackend() { return std::make_unique<NoDevices>(); }

} // namespace piano
