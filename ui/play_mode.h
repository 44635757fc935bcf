#pragma once

#include "app_state.h"

#include <cstdint>

namespace piano {

// The computer keyboard as a piano: a held letter key sounds its note.
class PlayMode {
public:
    explicit PlayMode(AppState& state) : state_(state) {}

    void keyPressed(std::int32_t keyCode);
    void keyReleased(std::int32_t keyCode);
    // Play mode left: a key still held would never see its release, so its note is stopped here.
    void focusLost();

private:
    AppState& state_;
};

} // namespace piano
