#include "note_player.h"

namespace piano {

NotePlayer::NotePlayer(EventPump& pump) : pump_(pump) {}

void NotePlayer::playNote(std::int32_t note, std::int32_t durationMs)
{
    if (sounding_ > 0) {
        if (sounding_ == note)
            return;
        stop();
    }
    if (port_)
        port_->sendNoteOn(note);
    sounding_ = note;
    if (durationMs > 0) {
        pump_.delay(durationMs);
        stop();
    }
}

void NotePlayer::stop()
{
    if (port_)
        port_->sendNoteOff(sounding_);
    sounding_ = 0;
}

} // namespace piano
