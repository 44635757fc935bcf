#include "system_midi_backend.h"

#include "rtmidi_outputs.h"
#ifndef _WIN32
#include "sound_font.h"
#include "synth_device.h"
#endif

namespace piano {

namespace {
#ifdef _WIN32
// Windows brings its own General MIDI synthesizer among the system's outputs.
class SystemMidiBackend final : public MidiBackend {
public:
    int deviceCount() override { return ports_.count(); }
    bool open(int index) override { return ports_.open(index); }
    bool send(std::uint32_t shortMessage) override { return ports_.send(shortMessage); }
    void close() override { ports_.close(); }

private:
    RtMidiOutputs ports_;
};
#else
class SystemMidiBackend final : public MidiBackend {
public:
    SystemMidiBackend() : synth_(findDefaultSoundFont()) {}

    int deviceCount() override { return 1 + ports_.count(); }
    bool open(int index) override
    {
        close();
        if (index == 0)
            return synth_.open();
        return index > 0 && ports_.open(index - 1);
    }
    bool send(std::uint32_t shortMessage) override
    {
        return synth_.isOpen() ? synth_.send(shortMessage) : ports_.send(shortMessage);
    }
    void close() override
    {
        synth_.close();
        ports_.close();
    }

private:
    SynthDevice synth_;
    RtMidiOutputs ports_;
};
#endif
} // namespace

std::unique_ptr<MidiBackend> makeSystemMidiBackend() { return std::make_unique<SystemMidiBackend>(); }

} // namespace piano
