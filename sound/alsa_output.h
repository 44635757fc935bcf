#pragma once

#include <fluidsynth/types.h>

namespace piano {

class BuiltinSynth;

// Plays the synthesizer straight into the ALSA default device, for systems without a sound server.
class AlsaOutput {
public:
    AlsaOutput() = default;
    ~AlsaOutput();
    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    bool start(BuiltinSynth& synth, int periodFrames, int periods);
    void stop();

private:
    fluid_audio_driver_t* driver_ = nullptr;
};

} // namespace piano
