#include "play_mode.h"

namespace piano {

void PlayMode::keyPressed(std::int32_t keyCode)
{
    // The same key again is keyboard auto-repeat while it is held.
    if (keyCode != state_.lastKey) {
        state_.lastKey = keyCode;
        const std::int32_t note = state_.table.lookUp(keyCode).音符;
        if (note > 0)
            state_.notes.playNote(note, 0);
    }
    state_.pump.processPending();
}

void PlayMode::keyReleased(std::int32_t)
{
    state_.notes.stop();
    state_.lastKey = 0;
}

void PlayMode::focusLost()
{
    if (state_.lastKey == 0)
        return;
    state_.notes.stop();
    state_.lastKey = 0;
}

} // namespace piano
