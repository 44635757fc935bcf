#include "builtin_synth.h"

#include <fluidsynth.h>
#include <glib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

namespace piano {

namespace {
void discardLog(int, const char*, void*) {}

// FluidSynth writes its messages to the console unless told otherwise; the program shows none.
void silenceFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, discardLog, nullptr);
    });
}

// Only SoundFont 2 files go to FluidSynth, so a wrong path never reaches its loader for other formats.
bool isSoundFont2(const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream file(path, std::ios::binary);
    char header[12] = {};
    return file.read(header, sizeof header) && std::memcmp(header, "RIFF", 4) == 0
           && std::memcmp(header + 8, "sfbk", 4) == 0;
}

void discardGLibMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// FluidSynth hands a SoundFont its own loader rejects to libinstpatch, which reports through GLib.
bool loadQuietly(fluid_synth_t* synth, const std::string& path)
{
    const GLogFunc previous = g_log_set_default_handler(discardGLibMessage, nullptr);
    const bool loaded = fluid_synth_sfload(synth, path.c_str(), 1) != FLUID_FAILED;
    g_log_set_default_handler(previous, nullptr);
    return loaded;
}
} // namespace

BuiltinSynth::BuiltinSynth(const std::string& soundFontPath, int sampleRate) : sampleRate_(sampleRate)
{
    silenceFluidSynth();
    if (!isSoundFont2(soundFontPath))
        return;
    settings_ = new_fluid_settings();
    if (!settings_)
        return;
    fluid_settings_setnum(settings_, "synth.sample-rate", sampleRate);
    // noteon/noteoff come from the UI thread while the audio thread renders.
    fluid_settings_setint(settings_, "synth.threadsafe-api", 1);
    // The default gain leaves room for many voices; a one-voice piano peaks at -27 dBFS with it.
    fluid_settings_setnum(settings_, "synth.gain", 1.0);
    // Locking the samples needs privileges most users lack; without it nothing changes audibly.
    fluid_settings_setint(settings_, "synth.lock-memory", 0);
    synth_ = new_fluid_synth(settings_);
    if (synth_ && !loadQuietly(synth_, soundFontPath)) {
        delete_fluid_synth(synth_);
        synth_ = nullptr;
    }
}

BuiltinSynth::~BuiltinSynth()
{
    if (synth_)
        delete_fluid_synth(synth_);
    if (settings_)
        delete_fluid_settings(settings_);
}

bool BuiltinSynth::send(std::uint32_t shortMessage)
{
    if (!synth_)
        return false;
    const int status = static_cast<int>(shortMessage & 0xFFu);
    const int data1 = static_cast<int>(shortMessage >> 8 & 0xFFu);
    const int data2 = static_cast<int>(shortMessage >> 16 & 0xFFu);
    if (status < 0x80 || data1 >= 0x80 || data2 >= 0x80)
        return false;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
    case 0x80:
        // Releasing a note that is not sounding is no error for a keyboard.
        fluid_synth_noteoff(synth_, channel, data1);
        return true;
    case 0x90:
        if (data2 == 0) {
            fluid_synth_noteoff(synth_, channel, data1);
            return true;
        }
        return fluid_synth_noteon(synth_, channel, data1, data2) == FLUID_OK;
    case 0xA0:
        return fluid_synth_key_pressure(synth_, channel, data1, data2) == FLUID_OK;
    case 0xB0:
        return fluid_synth_cc(synth_, channel, data1, data2) == FLUID_OK;
    case 0xC0:
        return fluid_synth_program_change(synth_, channel, data1) == FLUID_OK;
    case 0xD0:
        return fluid_synth_channel_pressure(synth_, channel, data1) == FLUID_OK;
    case 0xE0:
        return fluid_synth_pitch_bend(synth_, channel, data1 | data2 << 7) == FLUID_OK;
    default:
        return false;
    }
}

void BuiltinSynth::render(float* interleaved, std::size_t frames)
{
    if (!synth_) {
        std::fill(interleaved, interleaved + 2 * frames, 0.0f);
        return;
    }
    while (frames > 0) {
        const int chunk = frames > INT_MAX / 2 ? INT_MAX / 2 : static_cast<int>(frames);
        fluid_synth_write_float(synth_, chunk, interleaved, 0, 2, interleaved, 1, 2);
        interleaved += 2 * static_cast<std::size_t>(chunk);
        frames -= static_cast<std::size_t>(chunk);
    }
}

} // namespace piano
