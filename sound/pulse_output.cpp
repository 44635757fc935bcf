#include "pulse_output.h"

#include <pulse/context.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

namespace piano {

namespace {
constexpr std::size_t kFrameBytes = 2 * sizeof(float);
} // namespace

PulseOutput::~PulseOutput() { stop(); }

void PulseOutput::signal() { pa_threaded_mainloop_signal(loop_, 0); }

void PulseOutput::onContextState(pa_context*, void* self) { static_cast<PulseOutput*>(self)->signal(); }

void PulseOutput::onStreamState(pa_stream*, void* self) { static_cast<PulseOutput*>(self)->signal(); }

void PulseOutput::onDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    output->timedOut_ = true;
    output->signal();
}

void PulseOutput::onStarted(pa_stream*, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    output->started_ = true;
    output->signal();
}

void PulseOutput::onWrite(pa_stream* stream, std::size_t bytes, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    // Rendering straight into the server's memory block spares a copy on the audio path.
    while (bytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = bytes - bytes % kFrameBytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data)
            return;
        size -= size % kFrameBytes;
        if (size == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        output->render_(static_cast<float*>(data), size / kFrameBytes);
        if (pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= size;
    }
}

bool PulseOutput::waitUntil(const std::function<Wait()>& condition)
{
    for (;;) {
        const Wait state = condition();
        if (state != Wait::Pending)
            return state == Wait::Done;
        if (timedOut_)
            return false;
        pa_threaded_mainloop_wait(loop_);
    }
}

bool PulseOutput::connectContext()
{
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Keyboard piano");
    if (!context_)
        return false;
    pa_context_set_state_callback(context_, onContextState, this);
    const auto timeout = static_cast<pa_usec_t>(std::chrono::duration_cast<std::chrono::microseconds>(timeout_).count());
    if (!pa_context_rttime_new(context_, pa_rtclock_now() + timeout, onDeadline, this))
        return false;
    // Never spawn a server of our own: a desktop without one has no sound to offer.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    return waitUntil([this] {
        switch (pa_context_get_state(context_)) {
        case PA_CONTEXT_READY:
            return Wait::Done;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            return Wait::Failed;
        default:
            return Wait::Pending;
        }
    });
}

bool PulseOutput::connectStream(const Format& format)
{
    const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(format.sampleRate), 2};
    stream_ = pa_stream_new(context_, "Piano", &sampleSpec, nullptr);
    if (!stream_)
        return false;
    const auto period = static_cast<std::uint32_t>(format.periodFrames * kFrameBytes);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = period * static_cast<std::uint32_t>(format.periods);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = period;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    pa_stream_set_state_callback(stream_, onStreamState, this);
    pa_stream_set_write_callback(stream_, onWrite, this);
    pa_stream_set_started_callback(stream_, onStarted, this);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE
                                                      | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_NOT_MONOTONIC);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return false;
    return waitUntil([this] {
        switch (pa_stream_get_state(stream_)) {
        case PA_STREAM_READY:
            return Wait::Done;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            return Wait::Failed;
        default:
            return Wait::Pending;
        }
    });
}

bool PulseOutput::waitForSound()
{
    // The server calls back once the sink really takes the stream's samples. A sink that was idle
    // takes a second or two to get there, and a note sent before would be lost.
    return waitUntil([this] {
        if (pa_stream_get_state(stream_) != PA_STREAM_READY)
            return Wait::Failed;
        return started_ ? Wait::Done : Wait::Pending;
    });
}

bool PulseOutput::start(const Format& format, Render render, std::chrono::milliseconds timeout)
{
    stop();
    render_ = std::move(render);
    timeout_ = timeout;
    loop_ = pa_threaded_mainloop_new();
    if (!loop_ || pa_threaded_mainloop_start(loop_) < 0) {
        stop();
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    const bool ok = connectContext() && connectStream(format) && waitForSound();
    pa_threaded_mainloop_unlock(loop_);
    if (!ok)
        stop();
    return ok;
}

void PulseOutput::stop()
{
    if (!loop_)
        return;
    pa_threaded_mainloop_stop(loop_);
    if (stream_) {
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
    started_ = false;
    timedOut_ = false;
    render_ = nullptr;
}

long PulseOutput::latencyMicroseconds()
{
    if (!loop_ || !stream_)
        return -1;
    pa_threaded_mainloop_lock(loop_);
    pa_usec_t latency = 0;
    int negative = 0;
    const bool known = pa_stream_get_latency(stream_, &latency, &negative) == 0;
    pa_threaded_mainloop_unlock(loop_);
    return known ? (negative ? 0 : static_cast<long>(latency)) : -1;
}

} // namespace piano
