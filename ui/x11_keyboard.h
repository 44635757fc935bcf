#pragma once

class QGuiApplication;

namespace piano {

// Under X11, asks the server to send a held key's auto-repeat as presses only. Otherwise each
// repeat arrives as a release and a press that Qt cannot always tell from real ones, and a held
// note would restart. Does nothing on other platforms.
void useDetectableAutoRepeat(QGuiApplication& app);

} // namespace piano
