#include "score_box.h"

namespace piano {

ScoreBox::ScoreBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves the focus on, as it does everywhere else in the window.
    setTabChangesFocus(true);
}

std::string ScoreBox::score() const
{
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

void ScoreBox::setScore(std::string_view score)
{
    QString text = QString::fromUtf8(score.data(), static_cast<qsizetype>(score.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(text);
}

} // namespace piano
