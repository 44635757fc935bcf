#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace piano {

inline constexpr int kSongCount = 10;

struct Song {
    std::string score;  // letter notation, lines separated by CR LF
    std::int32_t tempo = 0;
};

// The ten built-in songs, rows 1 to 10, as the song list shows them.
const std::array<std::string_view, kSongCount>& songLabels();
// Each entry is "TTT score": a three-digit tempo, a blank, then the score.
const std::array<std::string_view, kSongCount>& songEntries();
// Splits an entry into its score and tempo; rows outside 1 to 10 give an empty song.
Song loadSong(int row);

} // namespace piano
