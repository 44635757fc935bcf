#pragma once

#include "play_mode.h"

#include <QCheckBox>

namespace piano {

// The coloured bar that is play mode while it has the keyboard focus.
class KeyReceiver final : public QCheckBox {
    Q_OBJECT

public:
    KeyReceiver(PlayMode& playMode, QWidget* parent);

    static constexpr QRgb kPlayingColour = 0x00FF00;
    static constexpr QRgb kIdleColour = 0xD8D800;  // red 216, green 216, blue 0
    static QString playingCaption() { return QStringLiteral("已处于弹奏模式，请按键盘"); }
    static QString idleCaption() { return QStringLiteral("点击此处进入弹奏模式"); }

    QColor backgroundColour() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void setBackground(QRgb rgb);

    PlayMode& playMode_;
};

} // namespace piano
