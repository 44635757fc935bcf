#pragma once

#include "alsa_output.h"
#include "builtin_synth.h"
#include "pulse_output.h"

#include <cstdint>
#include <memory>
#include <string>

namespace piano {

// The built-in synthesizer as a MIDI output device: FluidSynth with a General MIDI SoundFont,
// played through the sound server, or straight into ALSA when there is none.
class SynthDevice {
public:
    // The sound server's own rate, so it never resamples. 4 periods of 128 frames make 10.7 ms of
    // buffering; the server asks for a period every 2.7 ms and still holds 8 ms when it does.
    static constexpr int kSampleRate = 48000;
    static constexpr int kPeriodFrames = 128;
    static constexpr int kPeriods = 4;

    static constexpr PulseOutput::Format kFormat{kSampleRate, kPeriodFrames, kPeriods};

    explicit SynthDevice(std::string soundFontPath, PulseOutput::Format format = kFormat);
    ~SynthDevice();
    SynthDevice(const SynthDevice&) = delete;
    SynthDevice& operator=(const SynthDevice&) = delete;

    // Returns once sound really flows, so the first note is heard; false, quietly, without SoundFont or audio.
    bool open();
    bool isOpen() const { return synth_ != nullptr; }
    bool send(std::uint32_t shortMessage);
    void close();

    // The server's own figure for how long a note takes to reach the sink; -1 when unknown.
    long outputLatencyMicroseconds();

private:
    std::string soundFontPath_;
    PulseOutput::Format format_;
    std::unique_ptr<BuiltinSynth> synth_;
    PulseOutput pulse_;
    AlsaOutput alsa_;
};

} // namespace piano
