#include "key_codes.h"
#include "key_receiver.h"
#include "window_fixture.h"

#include <QKeyEvent>
#include <QTest>

using namespace piano;
using namespace piano::test;

using Messages = std::vector<std::uint32_t>;
Q_DECLARE_METATYPE(Messages)

namespace {
// A step is press (+), release (-) or an auto-repeat (*: the release and press pair X11 sends), then a key name.
void sendKey(QWidget* target, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, bool autoRepeat)
{
    const QString text = key >= Qt::Key_A && key <= Qt::Key_Z ? QString(QChar(key)).toLower() : QString();
    QKeyEvent event(type, key, modifiers, text, autoRepeat);
    QApplication::sendEvent(target, &event);
}

int qtKeyNamed(const QString& name)
{
    if (name == QLatin1String("Space"))
        return Qt::Key_Space;
    if (name == QLatin1String("Enter"))
        return Qt::Key_Return;
    if (name == QLatin1String("Left"))
        return Qt::Key_Left;
    if (name == QLatin1String("F5"))
        return Qt::Key_F5;
    return QKeySequence(name)[0].key();
}
} // namespace

class PlayModeTest : public QObject {
    Q_OBJECT

private slots:
    void keys_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<Messages>("expected");
        QTest::newRow("holding A with repeats") << QStringList{"+A", "*A", "*A", "*A", "-A"} << 0
                                                << Messages{noteOn(57), noteOff(57)};
        QTest::newRow("A then S while A held")
            << QStringList{"+A", "+S", "-S", "-A"} << 0
            << Messages{noteOn(57), noteOff(57), noteOn(43), noteOff(43), noteOff(0)};
        QTest::newRow("press, release, press") << QStringList{"+A", "-A", "+A", "-A"} << 0
                                               << Messages{noteOn(57), noteOff(57), noteOn(57), noteOff(57)};
        QTest::newRow("digit zero sounds nothing") << QStringList{"+0", "-0"} << 0 << Messages{noteOff(0)};
        QTest::newRow("space, arrows, function keys")
            << QStringList{"+Space", "-Space", "+Left", "-Left", "+F5", "-F5", "+Enter", "-Enter"} << 0
            << Messages{noteOff(0), noteOff(0), noteOff(0), noteOff(0)};
        QTest::newRow("arrow keys stay in play mode") << QStringList{"+E", "+Down", "-Down", "+Up", "-Up"} << 0
                                                      << Messages{noteOn(64), noteOff(64), noteOff(0)};
        QTest::newRow("non-letter after a letter stops nothing until released")
            << QStringList{"+C", "+Left", "-Left"} << 0 << Messages{noteOn(60), noteOff(60)};
        QTest::newRow("Alt+A") << QStringList{"+A", "-A"} << int(Qt::AltModifier) << Messages{noteOn(57), noteOff(57)};
        QTest::newRow("Shift+Ctrl+R") << QStringList{"+R", "-R"} << int(Qt::ShiftModifier | Qt::ControlModifier)
                                      << Messages{noteOn(86), noteOff(86)};
        QTest::newRow("lowest and highest") << QStringList{"+S", "-S", "+R", "-R"} << 0
                                            << Messages{noteOn(43), noteOff(43), noteOn(86), noteOff(86)};
    }
    void keys()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, modifiers);
        QFETCH(Messages, expected);
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* receiver = f.child<KeyReceiver>("按键接收器");
        QTRY_VERIFY(receiver->hasFocus());
        const auto mods = Qt::KeyboardModifiers(modifiers);
        for (const QString& step : steps) {
            const int key = qtKeyNamed(step.mid(1));
            QVERIFY2(key != 0, qPrintable(step));
            if (step[0] == QLatin1Char('+')) {
                sendKey(receiver, QEvent::KeyPress, key, mods, false);
            } else if (step[0] == QLatin1Char('-')) {
                sendKey(receiver, QEvent::KeyRelease, key, mods, false);
            } else {
                sendKey(receiver, QEvent::KeyRelease, key, mods, true);
                sendKey(receiver, QEvent::KeyPress, key, mods, true);
            }
        }
        QCOMPARE(f.backend.messages(), expected);
    }

    void keyCodes_data()
    {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("code");
        QTest::newRow("A") << int(Qt::Key_A) << 65;
        QTest::newRow("Z") << int(Qt::Key_Z) << 90;
        QTest::newRow("0") << int(Qt::Key_0) << 48;
        QTest::newRow("9") << int(Qt::Key_9) << 57;
        QTest::newRow("Return") << int(Qt::Key_Return) << 13;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << 13;
        QTest::newRow("space") << int(Qt::Key_Space) << 32;
    }
    void keyCodes()
    {
        QFETCH(int, qtKey);
        QFETCH(int, code);
        QCOMPARE(keyCodeFor(qtKey), code);
    }

    // Other keys keep codes of their own, never a letter's and never "no key".
    void otherKeyCodesNeverCollide()
    {
        for (int qtKey : {0, int(Qt::Key_unknown), int(Qt::Key_Comma), int(Qt::Key_F1), int(Qt::Key_Left),
                          int(Qt::Key_Shift), 0x41 + 0x01000000, 0x0410 /* Cyrillic A */}) {
            const std::int32_t code = keyCodeFor(qtKey);
            QVERIFY(code != 0);
            QVERIFY(code < 'A' || code > 'Z');
        }
        QVERIFY(keyCodeFor(Qt::Key_F1) != keyCodeFor(Qt::Key_F2));
    }

    void focusLook()
    {
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* receiver = f.child<KeyReceiver>("按键接收器");
        QTRY_VERIFY(receiver->hasFocus());
        QVERIFY(receiver->isChecked());
        QCOMPARE(receiver->backgroundColour(), QColor(0x00FF00));
        QCOMPARE(receiver->text(), QStringLiteral("已处于弹奏模式，请按键盘"));

        f.child<QWidget>("编辑框_乐谱")->setFocus();
        QTRY_VERIFY(!receiver->hasFocus());
        QVERIFY(!receiver->isChecked());
        QCOMPARE(receiver->backgroundColour(), QColor(0xD8D800));
        QCOMPARE(receiver->text(), QStringLiteral("点击此处进入弹奏模式"));
        // Losing the focus with no key held sends nothing.
        QVERIFY(f.backend.sent.empty());

        QTest::mouseClick(receiver, Qt::LeftButton, {}, QPoint(100, 12));
        QTRY_VERIFY(receiver->hasFocus());
        QCOMPARE(receiver->backgroundColour(), QColor(0x00FF00));
    }

    // The release of a key held while play mode is left never reaches the key receiver.
    void leavingPlayModeSilencesAHeldKey_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("tab") << "tab";
        QTest::newRow("click another control") << "click";
        QTest::newRow("another window") << "window";
    }
    void leavingPlayModeSilencesAHeldKey()
    {
        QFETCH(QString, how);
        WindowFixture f;
        f.start();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto* receiver = f.child<KeyReceiver>("按键接收器");
        QTRY_VERIFY(receiver->hasFocus());
        QTest::keyPress(receiver, Qt::Key_G);
        QWidget other;
        if (how == QLatin1String("tab")) {
            QTest::keyPress(receiver, Qt::Key_Tab);
            QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Tab);
        } else if (how == QLatin1String("click")) {
            QTest::mouseClick(f.child<QWidget>("编辑框_每分钟拍数"), Qt::LeftButton);
        } else {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QTRY_VERIFY(!receiver->hasFocus());
        QCOMPARE(f.backend.messages(), (Messages{noteOn(67), noteOff(67)}));
        QCOMPARE(f.state.notes.soundingNote(), 0);
        QCOMPARE(f.state.lastKey, 0);
        if (how == QLatin1String("window")) {
            f.window.activateWindow();
            QTRY_VERIFY(receiver->hasFocus());
            QVERIFY(receiver->isChecked());
        }
    }
};

QTEST_MAIN(PlayModeTest)
#include "test_play_mode.moc"
