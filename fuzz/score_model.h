#pragma once

// A plain reading of the score notation, written apart from the player, that the
// fuzz targets compare the real player against, plus checks on any MIDI log.

#include "recording_backend.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace piano::fuzz {

using Log = std::vector<test::RecordingBackend::Sent>;

[[noreturn]] inline void fail(const char* what, std::size_t at)
{
    std::fprintf(stderr, "invariant broken: %s (message %zu)\n", what, at);
    std::abort();
}

// Truncate toward zero, keep the low 32 bits as a signed value; out of 64-bit range, infinite or NaN gives 0.
inline std::int32_t wrapToInt32(double value)
{
    if (!std::isfinite(value))
        return 0;
    const long double t = std::trunc(static_cast<long double>(value));
    if (std::fabs(t) >= 9223372036854775808.0L)
        return 0;
    long double r = std::fmod(t, 4294967296.0L);
    if (r < 0)
        r += 4294967296.0L;
    if (r >= 2147483648.0L)
        r -= 4294967296.0L;
    return static_cast<std::int32_t>(r);
}

inline std::int32_t modelDuration(std::int32_t tempo, std::int64_t count, std::int32_t divisor)
{
    const std::int32_t beats = wrapToInt32(60000.0 / tempo * static_cast<double>(count));
    return wrapToInt32(static_cast<double>(beats) * 1024 / divisor);
}

inline std::int32_t letterNote(char upper)
{
    static constexpr std::int32_t kNotes[26] = {57, 59, 60, 62, 64, 65, 67, 69, 71, 72, 74, 76, 77,
                                                79, 81, 83, 84, 86, 43, 45, 47, 48, 50, 52, 53, 55};
    return kNotes[upper - 'A'];
}

// The messages, with their times on a clock that only delays move, that a score should produce.
struct ScoreModel {
    Log log;
    std::int64_t now = 0;
    std::int32_t sounding = 0;

    void noteOn(std::int32_t n) { log.push_back({now, test::noteOn(n)}); }
    void noteOff(std::int32_t n) { log.push_back({now, test::noteOff(n)}); }

    void playNote(std::int32_t n, std::int32_t ms)
    {
        if (sounding > 0) {
            if (sounding == n)
                return;
            noteOff(sounding);
            sounding = 0;
        }
        noteOn(n);
        sounding = n;
        if (ms > 0) {
            now += ms;
            noteOff(n);
            sounding = 0;
        }
    }

    void play(std::string_view score, std::int32_t tempo)
    {
        std::int32_t divisor = 1024;
        for (std::size_t i = 0; i < score.size(); ++i) {
            const auto byte = static_cast<unsigned char>(score[i]);
            // Bytes of characters outside ASCII are never notes, marks or dashes.
            if (byte >= 0x80)
                continue;
            const char c = (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - 32) : static_cast<char>(byte);
            if ((c >= 'A' && c <= 'Z') || c == '0') {
                std::int64_t count = 1;
                while (i + 1 < score.size() && score[i + 1] == '-') {
                    ++count;
                    ++i;
                }
                const std::int32_t ms = modelDuration(tempo, count, divisor);
                if (c == '0')
                    now += ms > 0 ? ms : 0;
                else
                    playNote(letterNote(c), ms);
            } else if (c == '>') {
                divisor = wrapToInt32(static_cast<double>(divisor) * 2);
            } else if (c == '<') {
                divisor /= 2;
            }
        }
    }
};

// Holds for any log of this program: one voice, each note off silences the note that is on
// (or is the stop with nothing sounding, note 0), time never runs backwards.
// Returns the note left on at the end, 0 for none.
inline std::int32_t checkOneVoice(const Log& log)
{
    std::int32_t on = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (i > 0 && log[i].atMs < log[i - 1].atMs)
            fail("time ran backwards", i);
        const std::uint32_t m = log[i].message;
        const auto note = static_cast<std::int32_t>(m >> 8 & 0xFF);
        if ((m & 0xFF) == 0x90) {
            if ((m >> 16) != 127)
                fail("note on without velocity 127", i);
            if (on != 0)
                fail("second note on while one sounds", i);
            if (note <= 0)
                fail("note on for no note", i);
            on = note;
        } else if ((m & 0xFF) == 0x80) {
            if ((m >> 16) != 0)
                fail("note off with a velocity", i);
            if (note != on && !(on == 0 && note == 0))
                fail("note off for a note that is not sounding", i);
            on = 0;
        } else {
            fail("message other than note on or off", i);
        }
    }
    return on;
}

} // namespace piano::fuzz
