#include "key_receiver.h"
#include "window_fixture.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace piano;
using namespace piano::test;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("text");
        QTest::newRow("link button") << "按钮1" << "QPushButton" << QRect(112, 224, 152, 24) << "→ Tessaly ←";
        QTest::newRow("help button") << "按钮_使用说明" << "QPushButton" << QRect(296, 6, 72, 26) << "使用说明";
        QTest::newRow("cover label") << "标签2" << "QLabel" << QRect(-11, 188, 16, 32) << "";
        QTest::newRow("key receiver") << "按键接收器" << "QCheckBox" << QRect(-9, 189, 184, 24)
                                      << "点击此处进入弹奏模式";
        QTest::newRow("tempo unit") << "标签1" << "QLabel" << QRect(240, 192, 46, 16) << "拍/分钟";
        QTest::newRow("tempo box") << "编辑框_每分钟拍数" << "QLineEdit" << QRect(200, 190, 32, 20) << "120";
        QTest::newRow("play button") << "按钮_播放乐谱" << "QPushButton" << QRect(296, 187, 71, 26) << "播放乐谱";
        QTest::newRow("score box") << "编辑框_乐谱" << "QPlainTextEdit" << QRect(8, 38, 360, 144) << "cdefghij-";
        QTest::newRow("song list") << "组合框_预定义乐谱" << "QComboBox" << QRect(88, 9, 192, 20) << "";
        QTest::newRow("song caption") << "标签3" << "QLabel" << QRect(9, 7, 80, 24) << "预定义乐谱：";
    }
    // Laid out before start-up runs: the window as loaded.
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QRect, place);
        QFETCH(QString, text);
        WindowFixture f;
        auto* widget = f.window.findChild<QWidget*>(name);
        QVERIFY(widget);
        QVERIFY(widget->inherits(className.toLatin1().constData()));
        QCOMPARE(widget->geometry(), place);
        QString shown;
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown = button->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            shown = label->text();
        else if (auto* line = qobject_cast<QLineEdit*>(widget))
            shown = line->text();
        else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
            shown = edit->toPlainText();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            shown = combo->currentText();
        QCOMPARE(shown, text);
    }

    void windowLook()
    {
        WindowFixture f;
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Velorin v1.01"));
        const Qt::WindowFlags flags = f.window.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QCOMPARE(f.window.minimumSize(), f.window.maximumSize());

        auto* midi = f.window.findChild<QObject*>(QStringLiteral("midi"));
        QVERIFY(midi);
        QVERIFY(!midi->isWidgetType());
        QCOMPARE(midi->property("place").toRect(), QRect(24, 64, 26, 26));

        QCOMPARE(f.child<QPushButton>("按钮_播放乐谱")->property("tag").toString(), QStringLiteral("0"));
        QCOMPARE(f.child<QPushButton>("按钮_播放乐谱")->font().pixelSize(), 12);
        QVERIFY(f.child<QPushButton>("按钮_播放乐谱")->font().bold());
        QVERIFY(!f.child<QPushButton>("按钮_使用说明")->font().bold());
        QCOMPARE(f.child<QPlainTextEdit>("编辑框_乐谱")->font().pixelSize(), 21);
        QCOMPARE(f.child<QPlainTextEdit>("编辑框_乐谱")->palette().color(QPalette::Text), QColor(0x000080));
        QCOMPARE(f.child<QLineEdit>("编辑框_每分钟拍数")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(f.child<KeyReceiver>("按键接收器")->backgroundColour(), QColor(0xD8D800));
        QVERIFY(!f.child<KeyReceiver>("按键接收器")->isChecked());
        QCOMPARE(f.child<QComboBox>("组合框_预定义乐谱")->count(), 0);
    }

    // Earlier controls in the list are drawn over later ones.
    void stackingOrder()
    {
        WindowFixture f;
        const char* topToBottom[] = {"按钮1", "按钮_使用说明", "标签2", "按键接收器", "标签1", "编辑框_每分钟拍数",
                                     "按钮_播放乐谱", "编辑框_乐谱", "组合框_预定义乐谱", "标签3"};
        QList<QWidget*> children;
        for (QObject* o : f.window.children())
            if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow())
                children.append(w);
        int previous = std::numeric_limits<int>::max();
        for (const char* name : topToBottom) {
            const int index = children.indexOf(f.child<QWidget>(name));
            QVERIFY2(index >= 0 && index < previous, name);
            previous = index;
        }
    }

    void outerFrameCentred()
    {
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTRY_COMPARE(f.window.frameGeometry().size(), QSize(380, 283));
        QCOMPARE(f.window.frameGeometry().topLeft(),
                 screen.topLeft() + QPoint((screen.width() - 380) / 2, (screen.height() - 283) / 2));
    }

    void startUp_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("songs");
        QTest::newRow("no device") << 0 << true << QStringList{"未发现MIDI设备！"} << 0;
        QTest::newRow("device busy") << 1 << false << QStringList{"未能打开默认MIDI设备！"} << 0;
        QTest::newRow("working device") << 3 << true << QStringList{} << 10;
    }
    void startUp()
    {
        QFETCH(int, devices);
        QFETCH(bool, opens);
        QFETCH(QStringList, boxes);
        QFETCH(int, songs);
        WindowFixture f(devices);
        f.backend.openSucceeds = opens;
        f.start();
        QStringList shown;
        for (const std::string& text : f.info.shown)
            shown << QString::fromStdString(text);
        QCOMPARE(shown, boxes);
        QCOMPARE(f.child<QComboBox>("组合框_预定义乐谱")->count(), songs);
        const bool working = boxes.isEmpty();
        QCOMPARE(f.backend.openIndex, devices > 0 ? 0 : -1);
        QCOMPARE(f.window.isVisible(), working);
        QCOMPARE(f.state.table.size(), working ? std::size_t{26} : std::size_t{0});
        QCOMPARE(f.state.port.isOpen(), working);
        if (working)
            QTRY_VERIFY(f.child<KeyReceiver>("按键接收器")->hasFocus());
    }

    // With no device the keys stay silent and the window still comes up.
    void failedStartUpKeepsRunningSilently()
    {
        WindowFixture f(0);
        f.start();
        f.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* receiver = f.child<KeyReceiver>("按键接收器");
        receiver->setFocus();
        QTest::keyClick(receiver, Qt::Key_A);
        QVERIFY(f.backend.sent.empty());
    }

    void greetingPlaysAtStartUp()
    {
        WindowFixture f;
        f.start(true);
        const int notes[] = {60, 62, 64, 65, 67, 69, 71, 72};
        std::vector<std::uint32_t> expected;
        for (int note : notes) {
            expected.push_back(noteOn(note));
            expected.push_back(noteOff(note));
        }
        QCOMPARE(f.backend.messages(), expected);
        const auto& sent = f.backend.sent;
        for (std::size_t i = 0; i + 1 < sent.size(); i += 2) {
            const std::int64_t length = sent[i + 1].atMs - sent[i].atMs;
            QVERIFY2(length >= (i == 14 ? 1000 : 500), qPrintable(QString::number(length)));
        }
    }

    // The greeting winds down at once and nothing reaches the device after it is closed.
    void closingDuringTheGreeting()
    {
        WindowFixture f;
        std::int64_t closedAt = 0;
        QTimer::singleShot(550, [&] {
            closedAt = steadyMs();
            f.window.close();
        });
        f.start(true);
        const std::int64_t windDown = steadyMs() - closedAt;
        QVERIFY(f.window.closed());
        // D4 still had 450 ms to go: a wind-down shorter than that means the wait was cut short.
        QVERIFY2(windDown < 300, qPrintable(QString::number(windDown)));
        QCOMPARE(f.backend.sentWhileClosed, 0);
        QCOMPARE(f.backend.closes, 1);
        QCOMPARE(f.backend.messages(), (std::vector<std::uint32_t>{noteOn(60), noteOff(60), noteOn(62), noteOff(62)}));
    }

    void tabOrder()
    {
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        const char* order[] = {"按键接收器", "按钮_使用说明", "按钮1", "组合框_预定义乐谱", "编辑框_乐谱", "按钮_播放乐谱",
                               "编辑框_每分钟拍数", "按键接收器"};
        QTRY_VERIFY(f.child<QWidget>(order[0])->hasFocus());
        for (std::size_t i = 1; i < std::size(order); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTRY_VERIFY2(f.child<QWidget>(order[i])->hasFocus(), order[i]);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QTRY_VERIFY(f.child<QWidget>("编辑框_每分钟拍数")->hasFocus());
    }

    void escapeClosesAndClosesThePort_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::newRow("play mode") << "按键接收器";
        QTest::newRow("score box") << "编辑框_乐谱";
        QTest::newRow("tempo box") << "编辑框_每分钟拍数";
    }
    void escapeClosesAndClosesThePort()
    {
        QFETCH(QString, focused);
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* target = f.window.findChild<QWidget*>(focused);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        if (focused == QLatin1String("按键接收器"))
            QTest::keyPress(target, Qt::Key_G);
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(f.window.closed());
        QVERIFY(!f.window.isVisible());
        QVERIFY(!f.state.port.isOpen());
        QCOMPARE(f.backend.closes, 1);
        QCOMPARE(f.backend.sentWhileClosed, 0);
        // A key held at close is silenced before the device goes.
        if (focused == QLatin1String("按键接收器"))
            QCOMPARE(f.backend.messages(), (std::vector<std::uint32_t>{noteOn(67), noteOff(67)}));
    }

    void escapeWithModifierDoesNotClose()
    {
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QTest::keyClick(f.child<QWidget>("按键接收器"), Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(f.window.isVisible());
    }

    void linkButtonOpensTheAddressAsStored()
    {
        WindowFixture f;
        f.start();
        QTest::mouseClick(f.child<QPushButton>("按钮1"), Qt::LeftButton);
        QCOMPARE(f.shell.opened, std::vector<std::string>{kWebAddress});
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
