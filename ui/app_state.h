#pragma once

#include "music/key_note_table.h"
#include "music/score_player.h"
#include "sound/midi_port.h"
#include "sound/note_player.h"

#include <cstdint>

namespace piano {

// Everything the program keeps for its whole run. Members are destroyed in
// reverse order, so the port is closed before the key-note table goes.
struct AppState {
    AppState(MidiBackend& backend, EventPump& events) : pump(events), port(backend), notes(events), scores(table, notes, events) {}

    EventPump& pump;
    KeyNoteTable table;
    MidiPort port;
    NotePlayer notes;
    ScorePlayer scores;
    std::int32_t lastKey = 0;
};

} // namespace piano
