#include "help_window.h"
#include "key_receiver.h"
#include "score_box.h"
#include "window_fixture.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace piano;
using namespace piano::test;

using Messages = std::vector<std::uint32_t>;

namespace {
HelpWindow* openHelpWindow() { return qobject_cast<HelpWindow*>(QApplication::activeModalWidget()); }
} // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

private slots:
    void layoutAndTexts()
    {
        QWidget owner;
        HelpWindow help(&owner);
        QCOMPARE(help.windowTitle(), QStringLiteral("使用说明"));
        QVERIFY(!(help.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(help.minimumSize(), help.maximumSize());

        auto* text = help.findChild<QPlainTextEdit*>(QStringLiteral("编辑框1"));
        auto* credit = help.findChild<QLabel*>(QStringLiteral("超级链接框1"));
        auto* close = help.findChild<QPushButton*>(QStringLiteral("按钮1"));
        QVERIFY(text && credit && close);
        QCOMPARE(text->geometry(), QRect(8, 8, 360, 176));
        QCOMPARE(credit->geometry(), QRect(8, 192, 88, 24));
        QCOMPARE(close->geometry(), QRect(296, 188, 72, 28));
        QCOMPARE(close->text(), QStringLiteral("关 闭"));
        QCOMPARE(credit->text(), QStringLiteral("作者：Renko"));
        QCOMPARE(credit->focusPolicy(), Qt::NoFocus);
        QCOMPARE(credit->palette().color(QPalette::WindowText), QColor(0x000080));
        QVERIFY(text->isReadOnly());

        const QStringList paragraphs = HelpWindow::helpText().split(QStringLiteral("\r\n\r\n"));
        QCOMPARE(paragraphs.size(), 11);
        QCOMPARE(paragraphs[0], QStringLiteral("欢迎使用“Morvane”！"));
        QCOMPARE(paragraphs[3], QStringLiteral("3、点击主窗口左下角淡黄区域，确认进入“弹奏模式”（显示为绿色横条）；"));
        QVERIFY(paragraphs[8].startsWith(QStringLiteral("8、可自行编辑乐谱。")));
        QVERIFY(paragraphs[8].endsWith(QStringLiteral("仅在编辑乐谱时才需要使用此对照表，弹奏时不需要。")));
        QVERIFY(paragraphs[9].startsWith(QStringLiteral("9、")));
        QVERIFY(paragraphs[9].endsWith(QStringLiteral("希望大家能够喜欢！")));
        QVERIFY(!paragraphs[9].contains(QLatin1Char('\n')));
        QCOMPARE(paragraphs[10], QStringLiteral("Tessaly\r\n") + QLatin1String(kWebAddress));
        QCOMPARE(text->toPlainText(), QString(HelpWindow::helpText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }

    void creditChangesColourUnderThePointer()
    {
        QWidget owner;
        HelpWindow help(&owner);
        auto* credit = help.findChild<QLabel*>(QStringLiteral("超级链接框1"));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(credit, &enter);
        QCOMPARE(credit->palette().color(QPalette::WindowText), QColor(0x0000FF));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(credit, &leave);
        QCOMPARE(credit->palette().color(QPalette::WindowText), QColor(0x000080));
    }

    // While the help window is open the main window takes no keys; Esc closes only the help window.
    void modalWhileOpen_data()
    {
        QTest::addColumn<QString>("closeWith");
        QTest::newRow("escape") << "escape";
        QTest::newRow("close button") << "button";
    }
    void modalWhileOpen()
    {
        QFETCH(QString, closeWith);
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        bool wasOpen = false;
        bool focusOnText = false;
        QTimer::singleShot(0, [&] {
            HelpWindow* help = openHelpWindow();
            wasOpen = help != nullptr;
            if (!help)
                return;
            QVERIFY(QTest::qWaitForWindowActive(help));
            focusOnText = help->focusWidget() == help->findChild<QWidget*>(QStringLiteral("编辑框1"));
            QTest::keyClick(f.window.windowHandle(), Qt::Key_A);
            QTest::keyClick(help->windowHandle(), Qt::Key_S);
            if (closeWith == QLatin1String("escape"))
                QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
            else
                QTest::mouseClick(help->findChild<QPushButton*>(QStringLiteral("按钮1")), Qt::LeftButton);
        });
        QTest::mouseClick(f.child<QPushButton>("按钮_使用说明"), Qt::LeftButton);
        // The click handler returns only once the help window has gone.
        QVERIFY(wasOpen);
        QVERIFY(focusOnText);
        QVERIFY(!openHelpWindow());
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.window.closed());
        QVERIFY(f.backend.sent.empty());
    }

    void aPlayingScoreWaitsWhileTheHelpWindowIsOpen()
    {
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.child<ScoreBox>("编辑框_乐谱")->setScore("cd");
        f.child<QLineEdit>("编辑框_每分钟拍数")->setText("600");
        Messages whileOpen;
        QTimer::singleShot(20, [&] {
            QTimer::singleShot(300, [&] {
                whileOpen = f.backend.messages();
                if (HelpWindow* help = openHelpWindow())
                    help->reject();
            });
            QTest::mouseClick(f.child<QPushButton>("按钮_使用说明"), Qt::LeftButton);
        });
        QTest::mouseClick(f.child<QPushButton>("按钮_播放乐谱"), Qt::LeftButton);
        QCOMPARE(whileOpen, Messages{noteOn(60)});
        QCOMPARE(f.backend.messages(), (Messages{noteOn(60), noteOff(60), noteOn(62), noteOff(62)}));
    }
};

QTEST_MAIN(HelpWindowTest)
#include "test_help_window.moc"
