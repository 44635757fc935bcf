#pragma once

#include <fluidsynth/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace piano {

// A FluidSynth General MIDI synthesizer with one SoundFont loaded. It only makes samples;
// whoever owns the audio output pulls them with render(), so it can also render offline.
class BuiltinSynth {
public:
    BuiltinSynth(const std::string& soundFontPath, int sampleRate);
    ~BuiltinSynth();
    BuiltinSynth(const BuiltinSynth&) = delete;
    BuiltinSynth& operator=(const BuiltinSynth&) = delete;

    // False when the synthesizer could not be made or the SoundFont could not be loaded.
    bool isReady() const { return synth_ != nullptr; }
    int sampleRate() const { return sampleRate_; }

    // Plays one packed short message; false for a malformed message or one the synthesizer does not take.
    // Safe to call from another thread than render().
    bool send(std::uint32_t shortMessage);

    // Fills frames of interleaved stereo samples.
    void render(float* interleaved, std::size_t frames);

    // For audio drivers of FluidSynth's own.
    fluid_settings_t* settings() const { return settings_; }
    fluid_synth_t* synth() const { return synth_; }

private:
    int sampleRate_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

} // namespace piano
