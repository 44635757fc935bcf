#include "program.h"
#include "qt_platform.h"
#include "sound/system_midi_backend.h"
#include "x11_keyboard.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("velorin"));
    piano::useDetectableAutoRepeat(app);
    auto midi = piano::makeSystemMidiBackend();
    piano::QtEventPump pump;
    piano::QtInfoBox info;
    piano::QtShellOpener shell;
    return piano::runProgram(app, *midi, pump, info, shell);
}
