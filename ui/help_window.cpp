#include "help_window.h"

#include "look.h"
#include "platform.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace piano {

namespace {
constexpr QRgb kCreditColour = 0x000080;       // navy
constexpr QRgb kCreditHoverColour = 0x0000FF;  // blue

// The author credit: a link look that changes colour under the pointer and leads nowhere.
class AuthorCredit final : public QLabel {
public:
    explicit AuthorCredit(QWidget* parent) : QLabel(QStringLiteral("作者：Renko"), parent)
    {
        setObjectName(QStringLiteral("超级链接框1"));
        setGeometry(8, 192, 88, 24);
        setAlignment(Qt::AlignCenter);
        setFont(pixelFont({"宋体", "SimSun"}, 12, true));
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setColour(kCreditColour);
    }

protected:
    void enterEvent(QEnterEvent* event) override
    {
        setColour(kCreditHoverColour);
        QLabel::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override
    {
        setColour(kCreditColour);
        QLabel::leaveEvent(event);
    }

private:
    void setColour(QRgb rgb)
    {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, QColor(rgb));
        setPalette(p);
    }
};
} // namespace

QString HelpWindow::helpText()
{
    const QStringList paragraphs = {
        QStringLiteral("欢迎使用“Morvane”！"),
        QStringLiteral("1、通过主窗口左上角列表框，可以选择预定义乐谱；"),
        QStringLiteral("2、点击主窗口右下角“播放乐谱”按钮，可以试听播放效果；"),
        QStringLiteral("3、点击主窗口左下角淡黄区域，确认进入“弹奏模式”（显示为绿色横条）；"),
        QStringLiteral("4、在“弹奏模式”中，对照乐谱中内容，依次按下键盘中相应字母即可；"),
        QStringLiteral("5、乐谱中的符号“-”表示前一音符延长四分一个拍，符号“0”表示停顿，符号“>”表示弹奏速度加快一倍，"
                       "符号“<”表示弹奏速度减慢一倍。"),
        QStringLiteral("6、只要会“盲打”，就不需要记忆音符与按键的对应关系！"),
        QStringLiteral("7、预定义乐谱是作者随手录入，未必准确，请见谅。"),
        QStringLiteral("8、可自行编辑乐谱。键盘26个字母与简谱音符的对照关系如下：C到I表示中音1到7，J到P表示高音1到7，"
                       "VWXYZAB表示低音1到7，STU表示超低音567，QR表示超高音12。如此安排既有规律可循（字母依序循环排列），"
                       "又能尽量保证弹奏时左右手均衡使用。仅在编辑乐谱时才需要使用此对照表，弹奏时不需要。"),
        QStringLiteral("9、感谢每一位试用、纠错和分享乐谱的朋友，希望大家能够喜欢！"),
        QStringLiteral("Tessaly\r\n") + QString::fromLatin1(kWebAddress),
    };
    return paragraphs.join(QStringLiteral("\r\n\r\n"));
}

HelpWindow::HelpWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("使用说明"));
    setModal(true);

    auto* text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("编辑框1"));
    text->setGeometry(8, 8, 360, 176);
    text->setReadOnly(true);
    text->setTabChangesFocus(true);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setPlainText(QString(helpText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    setColours(text, Qt::black, palette().color(QPalette::Window));

    new AuthorCredit(this);

    auto* close = new QPushButton(QStringLiteral("关 闭"), this);
    close->setObjectName(QStringLiteral("按钮1"));
    close->setGeometry(296, 188, 72, 28);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    QWidget::setTabOrder(text, close);
    text->setFocus(Qt::OtherFocusReason);
    placeCentred(this, {kHelpOuterWidth, kHelpOuterHeight});
}

bool HelpWindow::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (!frameFitted_ && (event->type() == QEvent::Show || event->type() == QEvent::Move ||
                          event->type() == QEvent::Resize || event->type() == QEvent::WindowActivate))
        frameFitted_ = fitOuterFrame(this, {kHelpOuterWidth, kHelpOuterHeight});
    return handled;
}

} // namespace piano
