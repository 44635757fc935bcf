// Any bytes as a score: the first four give the tempo, the rest is the score text.
#include "fake_pump.h"
#include "key_note_table.h"
#include "midi_port.h"
#include "note_player.h"
#include "recording_backend.h"
#include "score_model.h"
#include "score_player.h"

#include <cstring>

using namespace piano;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::int32_t tempo = 0;
    std::memcpy(&tempo, data, sizeof tempo);
    const std::string_view score(reinterpret_cast<const char*>(data + 4), size - 4);

    test::FakePump pump;
    test::RecordingBackend backend(pump.clock());
    MidiPort port(backend);
    port.open(0);
    NotePlayer notes(pump);
    notes.setPort(&port);
    KeyNoteTable table;
    table.build();
    ScorePlayer player(table, notes, pump);
    player.playScore(score, tempo, true);

    const std::int32_t left = fuzz::checkOneVoice(backend.sent);
    if (left != notes.soundingNote())
        fuzz::fail("the log and the note player disagree on the sounding note", backend.sent.size());
    // Events are dispatched at most once per byte, so work stays linear in the score's length.
    if (static_cast<std::size_t>(pump.pendingCalls) > score.size())
        fuzz::fail("more event passes than bytes", 0);

    fuzz::ScoreModel model;
    model.play(score, tempo);
    if (model.log.size() != backend.sent.size())
        fuzz::fail("message count differs from the notation", std::min(model.log.size(), backend.sent.size()));
    for (std::size_t i = 0; i < model.log.size(); ++i) {
        if (!(model.log[i] == backend.sent[i]))
            fuzz::fail("message or its time differs from the notation", i);
    }
    if (model.now != pump.nowMs)
        fuzz::fail("total time differs from the notation", model.log.size());

    // Closing the port leaves nothing on.
    port.close();
    if (fuzz::checkOneVoice(backend.sent) != 0 || backend.sentWhileClosed != 0)
        fuzz::fail("a note survived the port closing", backend.sent.size());
    return 0;
}
