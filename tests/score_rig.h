#pragma once

#include "fake_pump.h"
#include "music/key_note_table.h"
#include "music/score_player.h"
#include "recording_backend.h"
#include "sound/midi_port.h"
#include "sound/note_player.h"

namespace piano::test {

// A score player wired to a fake clock and a recording MIDI output, with the key-note table built.
struct ScoreRig {
    FakePump pump;
    RecordingBackend backend{pump.clock()};
    MidiPort port{backend};
    NotePlayer notes{pump};
    KeyNoteTable table;
    ScorePlayer player{table, notes, pump};

    ScoreRig()
    {
        port.open(0);
        notes.setPort(&port);
        table.build();
    }
};

} // namespace piano::test
