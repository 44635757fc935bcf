#pragma once

#include "platform.h"
#include "sound/event_pump.h"
#include "sound/midi_backend.h"

class QApplication;

namespace piano {

// Runs the program on an existing application object: loads the main window, runs its
// created handler, then the event loop until the window closes. Returns the exit code.
int runProgram(QApplication& app, MidiBackend& midi, EventPump& pump, InfoBox& info, ShellOpener& shell);

} // namespace piano
