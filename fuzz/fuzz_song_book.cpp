// Any row number (first four bytes) and a moment to stop at (next four): the row
// loads as its entry says, and the song plays as the notation says up to the stop.
#include "score_rig.h"
#include "score_model.h"
#include "song_book.h"
#include "text_number.h"

#include <cstring>

using namespace piano;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::int32_t row = 0;
    std::memcpy(&row, data, sizeof row);
    std::uint32_t stopSeed = 0;
    const bool withStop = size >= 8;
    if (withStop)
        std::memcpy(&stopSeed, data + 4, sizeof stopSeed);

    const Song song = loadSong(row);
    if (row < 1 || row > kSongCount) {
        if (!song.score.empty() || song.tempo != 0)
            fuzz::fail("a row outside the book gave a song", 0);
        return 0;
    }
    const std::string_view entry = songEntries()[static_cast<std::size_t>(row - 1)];
    if (entry.size() < 5 || entry[3] != ' ')
        fuzz::fail("entry is not a tempo, a blank and a score", 0);
    for (int i = 0; i < 3; ++i) {
        if (entry[static_cast<std::size_t>(i)] < '0' || entry[static_cast<std::size_t>(i)] > '9')
            fuzz::fail("entry tempo is not three digits", 0);
    }
    const int tempo = (entry[0] - '0') * 100 + (entry[1] - '0') * 10 + (entry[2] - '0');
    if (song.tempo != tempo || song.score != entry.substr(4))
        fuzz::fail("loaded song differs from its entry", 0);
    const std::string label = std::to_string(row) + " - ";
    if (songLabels()[static_cast<std::size_t>(row - 1)].substr(0, label.size()) != label)
        fuzz::fail("label does not start with its row number", 0);

    fuzz::ScoreModel model;
    model.play(song.score, song.tempo);

    test::ScoreRig rig;
    const std::int64_t stopAt = withStop ? static_cast<std::int64_t>(stopSeed % static_cast<std::uint32_t>(model.now + 1)) : -1;
    if (withStop)
        rig.pump.at(stopAt, [&] { rig.player.requestStop(); });
    rig.player.playScore(song.score, song.tempo, true);

    if (fuzz::checkOneVoice(rig.backend.sent) != 0)
        fuzz::fail("a built-in song left a note sounding", rig.backend.sent.size());
    if (rig.backend.sent.size() > model.log.size())
        fuzz::fail("more messages than the song has", model.log.size());
    for (std::size_t i = 0; i < rig.backend.sent.size(); ++i) {
        if (!(rig.backend.sent[i] == model.log[i]))
            fuzz::fail("song played differently from its notation", i);
        // Only the note under way when the stop came may finish; none starts after it.
        if (withStop && i > 0 && (rig.backend.sent[i].message & 0xFF) == 0x90 && rig.backend.sent[i].atMs >= stopAt)
            fuzz::fail("a note started after the stop", i);
    }
    if (!withStop && rig.backend.sent.size() != model.log.size())
        fuzz::fail("song cut short without a stop", rig.backend.sent.size());
    return 0;
}
