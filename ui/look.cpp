#include "look.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace piano {

QFont pixelFont(QStringList families, int pixelHeight, bool bold)
{
    QFont font;
    families << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Noto Sans CJK SC");
    font.setFamilies(families);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

void setColours(QWidget* widget, const QColor& text, const QColor& background)
{
    QPalette p = widget->palette();
    // Disabled text keeps the toolkit's greyed colour.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            p.setColor(group, role, text);
    }
    widget->setPalette(p);
    setBackgroundColour(widget, background);
}

void setBackgroundColour(QWidget* widget, const QColor& background)
{
    QPalette p = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window})
        p.setColor(role, background);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

namespace {
void centre(QWidget* window, QSize outer)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    window->move(screen.x() + (screen.width() - outer.width()) / 2, screen.y() + (screen.height() - outer.height()) / 2);
}
} // namespace

void placeCentred(QWidget* window, QSize outer)
{
    window->setFixedSize(outer - QSize(6, 29));
    centre(window, outer);
}

bool fitOuterFrame(QWidget* window, QSize outer)
{
    if (!window->isVisible())
        return false;
    const QSize frame = window->frameGeometry().size() - window->size();
    // Platforms without a window manager never report a frame: the client area is the whole window.
    const bool unframed = QGuiApplication::platformName() == QLatin1String("offscreen");
    if (frame.isNull() && !unframed)
        return false;
    window->setFixedSize(outer - frame);
    centre(window, outer);
    return true;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& place)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(false);
    label->setAutoFillBackground(true);
    setColours(label, Qt::black, parent->palette().color(QPalette::Window));
    return label;
}

} // namespace piano
