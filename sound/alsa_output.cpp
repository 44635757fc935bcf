#include "alsa_output.h"

#include "builtin_synth.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <unistd.h>

namespace piano {

namespace {
void discardAlsaError(const char*, int, const char*, int, const char*, ...) {}
} // namespace

AlsaOutput::~AlsaOutput() { stop(); }

bool AlsaOutput::start(BuiltinSynth& synth, int periodFrames, int periods)
{
    stop();
    // Without sound cards ALSA only has complaints to print.
    if (!synth.isReady() || ::access("/dev/snd", F_OK) != 0)
        return false;
    snd_lib_error_set_handler(discardAlsaError);
    fluid_settings_t* settings = synth.settings();
    fluid_settings_setstr(settings, "audio.driver", "alsa");
    fluid_settings_setint(settings, "audio.period-size", periodFrames);
    fluid_settings_setint(settings, "audio.periods", periods);
    driver_ = new_fluid_audio_driver(settings, synth.synth());
    return driver_ != nullptr;
}

void AlsaOutput::stop()
{
    if (driver_)
        delete_fluid_audio_driver(driver_);
    driver_ = nullptr;
}

} // namespace piano
