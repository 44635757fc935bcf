#include "x11_keyboard.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace piano {

void useDetectableAutoRepeat(QGuiApplication& app)
{
    auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return;
    Bool supported = False;
    XkbSetDetectableAutoRepeat(x11->display(), True, &supported);
}

} // namespace piano
