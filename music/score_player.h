#pragma once

#include "key_note_table.h"
#include "sound/event_pump.h"
#include "sound/note_player.h"

#include <cstdint>
#include <string_view>

namespace piano {

inline constexpr std::string_view kGreetingScore = "cdefghij-";
inline constexpr std::int32_t kGreetingTempo = 120;

// Plays text in the letter notation: a letter per note, '-' lengthens by one
// beat unit, '0' rests, '>' and '<' double and halve the speed. Characters
// outside ASCII are skipped whole.
class ScorePlayer {
public:
    ScorePlayer(const KeyNoteTable& table, NotePlayer& notes, EventPump& pump);

    // Returns when the score ends, or after the note or rest under way when a stop is requested.
    void playScore(std::string_view score, std::int32_t tempo, bool tempoGiven = true);
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }

    // Milliseconds for count beat units at tempo under the speed divisor (1024 = normal speed).
    static std::int32_t duration(std::int32_t tempo, std::int64_t count, std::int32_t divisor);
    // Truncates toward zero and keeps the low 32 bits; infinity, NaN and values past 64 bits give 0.
    static std::int32_t toInt32(double value);

private:
    const KeyNoteTable& table_;
    NotePlayer& notes_;
    EventPump& pump_;
    bool stopRequested_ = false;
};

} // namespace piano
