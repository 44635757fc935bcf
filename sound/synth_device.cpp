#include "synth_device.h"

#include <chrono>

namespace piano {

namespace {
// A server that has not got the stream going by then will not; the window must not wait longer.
constexpr std::chrono::milliseconds kStartTimeout{3000};
} // namespace

SynthDevice::SynthDevice(std::string soundFontPath, PulseOutput::Format format)
    : soundFontPath_(std::move(soundFontPath)), format_(format)
{
}

SynthDevice::~SynthDevice() { close(); }

bool SynthDevice::open()
{
    close();
    auto synth = std::make_unique<BuiltinSynth>(soundFontPath_, format_.sampleRate);
    if (!synth->isReady())
        return false;
    BuiltinSynth* raw = synth.get();
    const bool playing =
        pulse_.start(format_, [raw](float* samples, std::size_t frames) { raw->render(samples, frames); }, kStartTimeout)
        || alsa_.start(*raw, format_.periodFrames, format_.periods);
    if (!playing)
        return false;
    synth_ = std::move(synth);
    return true;
}

bool SynthDevice::send(std::uint32_t shortMessage) { return synth_ && synth_->send(shortMessage); }

void SynthDevice::close()
{
    // The outputs render from the synthesizer, so they go first.
    pulse_.stop();
    alsa_.stop();
    synth_.reset();
}

long SynthDevice::outputLatencyMicroseconds() { return synth_ ? pulse_.latencyMicroseconds() : -1; }

} // namespace piano
