#include "score_player.h"

#include <cmath>

namespace piano {

namespace {
constexpr std::int32_t kNormalDivisor = 1024;

bool isNoteOrRest(char c) { return (c >= 'A' && c <= 'Z') || c == '0'; }

char upper(unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }

// Bytes taken by the character starting with lead; stray continuation bytes count as one.
std::size_t utf8Length(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Start of the character after the one at i, never past the end and never inside an ASCII byte.
std::size_t nextCharacter(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t end = i + 1;
    const std::size_t limit = i + utf8Length(lead);
    while (end < limit && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return end;
}
} // namespace

ScorePlayer::ScorePlayer(const KeyNoteTable& table, NotePlayer& notes, EventPump& pump)
    : table_(table), notes_(notes), pump_(pump)
{
}

std::int32_t ScorePlayer::toInt32(double value)
{
    constexpr double kTwo63 = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= kTwo63 || value < -kTwo63)
        return 0;
    const auto wide = static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

std::int32_t ScorePlayer::duration(std::int32_t tempo, std::int64_t count, std::int32_t divisor)
{
    const std::int32_t beats = toInt32(60000.0 / tempo * static_cast<double>(count));
    return toInt32(static_cast<double>(beats) * kNormalDivisor / divisor);
}

void ScorePlayer::playScore(std::string_view score, std::int32_t tempo, bool tempoGiven)
{
    if (score.empty())
        return;
    if (!tempoGiven)
        tempo = 120;
    std::int32_t divisor = kNormalDivisor;
    stopRequested_ = false;
    std::size_t pos = 0;
    while (pos < score.size() && !stopRequested_) {
        const auto byte = static_cast<unsigned char>(score[pos]);
        if (byte >= 0x80) {
            pos = nextCharacter(score, pos);
            pump_.processPending();
            continue;
        }
        const char c = upper(byte);
        if (isNoteOrRest(c)) {
            std::int64_t count = 1;
            while (pos + 1 < score.size() && score[pos + 1] == '-') {
                ++count;
                ++pos;
            }
            const std::int32_t ms = duration(tempo, count, divisor);
            if (c == '0')
                pump_.delay(ms);
            else
                notes_.playNote(table_.lookUp(c).音符, ms);
        } else if (c == '>') {
            divisor = toInt32(static_cast<double>(divisor) * 2);
        } else if (c == '<') {
            divisor /= 2;
        }
        ++pos;
        pump_.processPending();
    }
}

} // namespace piano
