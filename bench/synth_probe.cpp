// Opens the built-in synthesizer and at once plays the greeting scale, then separate notes,
// printing when each note was sent. With --monitor SOURCE it also records that source (the
// sink's monitor) and prints, per note, the time from sending note on to hearing it there;
// --notes N sets how many separate notes follow the greeting, --reopen N closes and opens N times,
// --period FRAMES and --periods N try another buffering than the program's.
#include "sound/sound_font.h"
#include "sound/synth_device.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point origin, Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(t - origin).count();
}

// Records a source in 1 ms fragments and keeps, per fragment, its peak and when it arrived.
class MonitorRecorder {
public:
    struct Fragment {
        Clock::time_point arrived;
        std::vector<float> levels; // per frame, the louder channel
    };

    bool start(const char* source)
    {
        loop_ = pa_threaded_mainloop_new();
        pa_threaded_mainloop_start(loop_);
        pa_threaded_mainloop_lock(loop_);
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "synth probe monitor");
        pa_context_set_state_callback(context_, [](pa_context*, void* l) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(l), 0); }, loop_);
        pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
                pa_threaded_mainloop_unlock(loop_);
                return false;
            }
            pa_threaded_mainloop_wait(loop_);
        }
        const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32NE, 48000, 2};
        stream_ = pa_stream_new(context_, "monitor", &sampleSpec, nullptr);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = 48 * 2 * sizeof(float);
        pa_stream_set_read_callback(stream_, onRead, this);
        pa_stream_connect_record(stream_, source, &attr, PA_STREAM_ADJUST_LATENCY);
        pa_threaded_mainloop_unlock(loop_);
        return true;
    }

    void stop()
    {
        pa_threaded_mainloop_stop(loop_);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_free(loop_);
    }

    // When the first sample after t that stands out from what sounded just before t reached us,
    // corrected for where it sat in its fragment.
    double firstLoudAfter(Clock::time_point t, Clock::time_point origin)
    {
        std::lock_guard lock(mutex_);
        float before = 0;
        for (const Fragment& f : fragments_) {
            if (f.arrived < t && f.arrived >= t - std::chrono::milliseconds(20))
                before = std::max(before, *std::max_element(f.levels.begin(), f.levels.end()));
        }
        const float threshold = std::max(0.02f, 3 * before);
        for (const Fragment& f : fragments_) {
            if (f.arrived < t)
                continue;
            for (std::size_t i = 0; i < f.levels.size(); ++i) {
                if (f.levels[i] > threshold)
                    return msSince(origin, f.arrived) - static_cast<double>(f.levels.size() - i) / 48.0;
            }
        }
        return -1;
    }

private:
    static void onRead(pa_stream* s, std::size_t, void* self)
    {
        auto* rec = static_cast<MonitorRecorder*>(self);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
            const auto now = Clock::now();
            const std::size_t frames = bytes / (2 * sizeof(float));
            Fragment fragment{now, std::vector<float>(frames, 0.0f)};
            if (data) {
                const auto* samples = static_cast<const float*>(data);
                for (std::size_t i = 0; i < frames; ++i)
                    fragment.levels[i] = std::max(std::fabs(samples[2 * i]), std::fabs(samples[2 * i + 1]));
            }
            {
                std::lock_guard lock(rec->mutex_);
                rec->fragments_.push_back(std::move(fragment));
            }
            pa_stream_drop(s);
        }
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::mutex mutex_;
    std::vector<Fragment> fragments_;
};

std::uint32_t noteOn(int note) { return 0x90u | static_cast<std::uint32_t>(note) << 8 | 127u << 16; }
std::uint32_t noteOff(int note) { return 0x80u | static_cast<std::uint32_t>(note) << 8; }

struct Sent {
    int note;
    Clock::time_point at;
};
} // namespace

int main(int argc, char** argv)
{
    const char* monitor = nullptr;
    int separateNotes = 10;
    int reopen = 0;
    piano::PulseOutput::Format format = piano::SynthDevice::kFormat;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--monitor") == 0 && i + 1 < argc)
            monitor = argv[++i];
        else if (std::strcmp(argv[i], "--notes") == 0 && i + 1 < argc)
            separateNotes = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--reopen") == 0 && i + 1 < argc)
            reopen = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--period") == 0 && i + 1 < argc)
            format.periodFrames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--periods") == 0 && i + 1 < argc)
            format.periods = std::atoi(argv[++i]);
    }
    MonitorRecorder recorder;
    if (monitor && !recorder.start(monitor)) {
        std::fprintf(stderr, "cannot record %s\n", monitor);
        return 1;
    }
    if (monitor)
        std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto origin = Clock::now();
    piano::SynthDevice synth(piano::findDefaultSoundFont(), format);
    const bool opened = synth.open();
    const auto openedAt = Clock::now();
    std::printf("%d x %d frames at %d Hz\n", format.periods, format.periodFrames, format.sampleRate);
    std::printf("open: %s after %.1f ms\n", opened ? "ok" : "FAILED", msSince(origin, openedAt));
    if (!opened)
        return 1;

    std::vector<Sent> sent;
    auto play = [&](int note, int ms) {
        sent.push_back({note, Clock::now()});
        synth.send(noteOn(note));
        std::this_thread::sleep_until(sent.back().at + std::chrono::milliseconds(ms));
        synth.send(noteOff(note));
    };
    const int scale[] = {60, 62, 64, 65, 67, 69, 71};
    for (int note : scale)
        play(note, 500);
    play(72, 1000);
    const std::size_t greeting = sent.size();
    for (int i = 0; i < separateNotes; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        play(60 + (i % 12), 150);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const long latency = synth.outputLatencyMicroseconds();
    synth.close();
    if (monitor)
        recorder.stop();

    std::printf("server latency at the end %.2f ms\n", latency / 1000.0);
    std::vector<double> separate;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const double at = msSince(origin, sent[i].at);
        std::printf("%s note %d sent at %.1f ms", i < greeting ? "greeting" : "separate", sent[i].note, at);
        // A legato note's attack hides in the release of the one before, so only notes after silence are timed.
        if (monitor && (i == 0 || i >= greeting)) {
            const double heard = recorder.firstLoudAfter(sent[i].at, origin);
            std::printf(", heard after %.1f ms", heard < 0 ? -1.0 : heard - at);
            if (i >= greeting && heard >= 0)
                separate.push_back(heard - at);
        }
        std::printf("\n");
    }
    if (!separate.empty()) {
        std::sort(separate.begin(), separate.end());
        std::printf("separate notes, send to monitor: median %.1f ms (min %.1f, max %.1f, n=%zu)\n",
                    separate[separate.size() / 2], separate.front(), separate.back(), separate.size());
    }
    // Opening again and again must work as the first time did.
    int failures = 0;
    for (int i = 0; i < reopen; ++i) {
        const auto before = Clock::now();
        const bool ok = synth.open();
        failures += !ok;
        std::printf("reopen %d: %s after %.1f ms\n", i + 1, ok ? "ok" : "FAILED", msSince(before, Clock::now()));
        synth.send(noteOn(60));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        synth.send(noteOff(60));
        synth.close();
    }
    return failures == 0 ? 0 : 1;
}
