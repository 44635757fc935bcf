#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <initializer_list>

class QLabel;
class QWidget;

namespace piano {

// A font by pixel height; later families stand in where earlier ones are not installed.
QFont pixelFont(QStringList families, int pixelHeight, bool bold);
// Text and background colours, kept the same when the control is disabled.
void setColours(QWidget* widget, const QColor& text, const QColor& background);
void setBackgroundColour(QWidget* widget, const QColor& background);
// An opaque single-line label, left-aligned and vertically centred, in black on the window colour.
// Sizes a top-level window for a thin border and title bar and centres its outer frame on the screen.
void placeCentred(QWidget* window, QSize outer);
// Once the window manager has framed the window, resizes its client area so the
// outer frame is exactly outer, and centres it again. False while no frame is known.
bool fitOuterFrame(QWidget* window, QSize outer);
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& place);

} // namespace piano
