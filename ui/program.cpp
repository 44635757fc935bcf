#include "program.h"

#include "app_state.h"
#include "main_window.h"

#include <QApplication>

namespace piano {

int runProgram(QApplication& app, MidiBackend& midi, EventPump& pump, InfoBox& info, ShellOpener& shell)
{
    AppState state(midi, pump);
    MainWindow window(state, info, shell);
    window.created();
    // Closed while the greeting played: the quit it caused has already been handled.
    if (window.closed())
        return 0;
    if (!window.isVisible())
        window.show();
    app.exec();
    return 0;
}

} // namespace piano
