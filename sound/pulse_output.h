#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_mainloop_api;
struct pa_time_event;
struct timeval;

namespace piano {

// A low-latency stereo float stream into the PulseAudio (or PipeWire-Pulse) server, filled on the
// server's request by a render function that runs on the output's own thread.
class PulseOutput {
public:
    using Render = std::function<void(float* interleaved, std::size_t frames)>;
    struct Format {
        int sampleRate;
        int periodFrames;
        int periods;
    };

    PulseOutput() = default;
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Returns once the server is really playing the stream; false when there is no server or it
    // does not get the stream going within the timeout.
    bool start(const Format& format, Render render, std::chrono::milliseconds timeout);
    void stop();

    // How long a sample rendered now takes to reach the sink, as the server reports it; -1 when unknown.
    long latencyMicroseconds();

private:
    enum class Wait { Pending, Done, Failed };
    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void onDeadline(pa_mainloop_api* api, pa_time_event* event, const timeval* time, void* self);
    static void onStarted(pa_stream* stream, void* self);
    bool connectContext();
    bool connectStream(const Format& format);
    bool waitForSound();
    bool waitUntil(const std::function<Wait()>& condition);
    void signal();

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    Render render_;
    std::chrono::milliseconds timeout_{0};
    bool timedOut_ = false;
    bool started_ = false;
};

} // namespace piano
