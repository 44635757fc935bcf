#include "key_receiver.h"

#include "key_codes.h"

#include <QKeyEvent>

namespace piano {

KeyReceiver::KeyReceiver(PlayMode& playMode, QWidget* parent) : QCheckBox(idleCaption(), parent), playMode_(playMode)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setBackground(kIdleColour);
    setFocusPolicy(Qt::StrongFocus);
}

QColor KeyReceiver::backgroundColour() const { return palette().color(QPalette::Window); }

void KeyReceiver::setBackground(QRgb rgb)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(rgb));
    p.setColor(QPalette::Button, QColor(rgb));
    setPalette(p);
}

void KeyReceiver::focusInEvent(QFocusEvent* event)
{
    QCheckBox::focusInEvent(event);
    setChecked(true);
    setBackground(kPlayingColour);
    setText(playingCaption());
}

void KeyReceiver::focusOutEvent(QFocusEvent* event)
{
    QCheckBox::focusOutEvent(event);
    setChecked(false);
    setBackground(kIdleColour);
    setText(idleCaption());
    playMode_.focusLost();
}

void KeyReceiver::keyPressEvent(QKeyEvent* event)
{
    playMode_.keyPressed(keyCodeFor(event->key()));
    // A check box moves the focus on arrow keys; in play mode they are just keys that sound nothing.
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down)
        return;
    QCheckBox::keyPressEvent(event);
}

void KeyReceiver::keyReleaseEvent(QKeyEvent* event)
{
    // X11 reports auto-repeat as a release and a press; only a real release ends the note.
    if (!event->isAutoRepeat())
        playMode_.keyReleased(keyCodeFor(event->key()));
    QCheckBox::keyReleaseEvent(event);
}

} // namespace piano
