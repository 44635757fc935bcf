#include "key_receiver.h"
#include "music/song_book.h"
#include "score_box.h"
#include "window_fixture.h"

#include <QTest>
#include <QTimer>

using namespace piano;
using namespace piano::test;

using Messages = std::vector<std::uint32_t>;

namespace {
struct Panel {
    explicit Panel(WindowFixture& f)
        : list(f.child<QComboBox>("组合框_预定义乐谱")), score(f.child<ScoreBox>("编辑框_乐谱")),
          tempo(f.child<QLineEdit>("编辑框_每分钟拍数")), play(f.child<QPushButton>("按钮_播放乐谱")),
          receiver(f.child<KeyReceiver>("按键接收器"))
    {
    }
    void choose(int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    bool idle() const
    {
        return play->property("tag").toString() == QLatin1String("0") && score->isEnabled() && tempo->isEnabled() &&
               score->palette().color(QPalette::Base) == QColor(Qt::white);
    }
    QComboBox* list;
    ScoreBox* score;
    QLineEdit* tempo;
    QPushButton* play;
    KeyReceiver* receiver;
};
} // namespace

class ScorePanelTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        fixture = std::make_unique<WindowFixture>();
        fixture->start();
        QVERIFY(QTest::qWaitForWindowActive(&fixture->window));
    }
    void cleanup() { fixture.reset(); }

    void startUpLoadsTheFirstSong()
    {
        Panel p(*fixture);
        QCOMPARE(p.list->count(), 10);
        QCOMPARE(p.list->itemText(0), QStringLiteral("1 - 致爱丽丝"));
        QCOMPARE(p.list->itemText(9), QStringLiteral("10 - 水手"));
        QCOMPARE(p.list->currentIndex(), 0);
        QCOMPARE(p.tempo->text(), QStringLiteral("200"));
        QVERIFY(p.score->score().starts_with("lklklikjh--"));
        QTRY_VERIFY(p.receiver->hasFocus());
    }

    void choosingASongFillsTheBoxesAndEntersPlayMode()
    {
        Panel p(*fixture);
        p.score->setFocus();
        QTRY_VERIFY(!p.receiver->hasFocus());
        p.list->setFocus();
        QTest::keyClick(p.list, Qt::Key_Down);  // a keyboard choice in the closed list
        QCOMPARE(p.list->currentIndex(), 1);
        QCOMPARE(p.score->score(), std::string(loadSong(2).score));
        QTRY_VERIFY(p.receiver->hasFocus());
        QCOMPARE(p.receiver->backgroundColour(), QColor(0x00FF00));

        p.choose(5);
        QCOMPARE(p.tempo->text(), QStringLiteral("240"));
        QCOMPARE(p.score->score(), std::string("ggh-g-j-i--- ggh-g-k-j---\r\nggn-l-j-i-h--- 0-\r\nmml-j-k-j---"));
        QCOMPARE(p.score->blockCount(), 3);
    }

    void pickingTheCurrentSongAgainDiscardsEdits()
    {
        Panel p(*fixture);
        p.choose(6);
        p.score->setScore("edited");
        p.tempo->setText("99");
        p.choose(6);
        QCOMPARE(p.tempo->text(), QStringLiteral("120"));
        QCOMPARE(p.score->score(), loadSong(7).score);
    }

    void playWithEmptyScoreReturnsToIdleAtOnce()
    {
        Panel p(*fixture);
        p.score->setScore("");
        QTest::mouseClick(p.play, Qt::LeftButton);
        QVERIFY(fixture->backend.sent.empty());
        QVERIFY(p.idle());
        QCOMPARE(p.play->text(), QStringLiteral("自动播放"));
    }

    void playsTheScoreBoxAtTheTempoBoxTempo_data()
    {
        QTest::addColumn<QString>("tempoText");
        QTest::addColumn<int>("unitMs");
        QTest::newRow("plain") << "600" << 100;
        QTest::newRow("full-width digits") << "６００" << 100;
        QTest::newRow("blank then digits then junk") << " 1200x" << 50;
    }
    void playsTheScoreBoxAtTheTempoBoxTempo()
    {
        QFETCH(QString, tempoText);
        QFETCH(int, unitMs);
        Panel p(*fixture);
        p.score->setScore("c-\r\nd");
        p.tempo->setText(tempoText);
        QTest::mouseClick(p.play, Qt::LeftButton);
        const auto& sent = fixture->backend.sent;
        QCOMPARE(fixture->backend.messages(), (Messages{noteOn(60), noteOff(60), noteOn(62), noteOff(62)}));
        QVERIFY(sent[1].atMs - sent[0].atMs >= 2 * unitMs);
        QVERIFY(sent[3].atMs - sent[2].atMs >= unitMs);
        QVERIFY(sent[3].atMs - sent[2].atMs < 2 * unitMs);
        QVERIFY(p.idle());
    }

    // No digits in the tempo box: every duration is 0 and the last note is left on.
    void emptyTempoRushesThroughAndLeavesTheLastNote()
    {
        Panel p(*fixture);
        p.score->setScore("cde");
        p.tempo->setText("");
        QTest::mouseClick(p.play, Qt::LeftButton);
        QCOMPARE(fixture->backend.messages(),
                 (Messages{noteOn(60), noteOff(60), noteOn(62), noteOff(62), noteOn(64)}));
        QCOMPARE(fixture->state.notes.soundingNote(), 64);
        QVERIFY(p.idle());
    }

    void secondClickStopsAfterTheCurrentNoteWithTheLockedLookMeanwhile()
    {
        Panel p(*fixture);
        p.score->setScore("c-d-e-");
        p.tempo->setText("300");  // 400 ms a note
        bool lockedLook = false;
        QTimer::singleShot(100, [&] {
            lockedLook = p.play->property("tag").toString() == QLatin1String("1") &&
                         p.play->text() == QStringLiteral("停止播放") && !p.score->isEnabled() &&
                         !p.tempo->isEnabled() &&
                         p.score->palette().color(QPalette::Base) == fixture->window.palette().color(QPalette::Button);
            QTest::mouseClick(p.play, Qt::LeftButton);
            // The nested click already shows the idle look.
            QVERIFY(p.idle());
        });
        const std::int64_t start = steadyMs();
        QTest::mouseClick(p.play, Qt::LeftButton);
        QVERIFY(lockedLook);
        QCOMPARE(fixture->backend.messages(), (Messages{noteOn(60), noteOff(60)}));
        QVERIFY(steadyMs() - start >= 400);
        QVERIFY(fixture->state.scores.stopRequested());
        QVERIFY(p.idle());
        QCOMPARE(p.play->text(), QStringLiteral("自动播放"));
    }

    void choosingASongWhilePlayingLeavesTheRunAlone()
    {
        Panel p(*fixture);
        p.score->setScore("c-d");
        p.tempo->setText("600");
        QTimer::singleShot(50, [&] { p.choose(6); });
        QTest::mouseClick(p.play, Qt::LeftButton);
        QCOMPARE(fixture->backend.messages(), (Messages{noteOn(60), noteOff(60), noteOn(62), noteOff(62)}));
        QCOMPARE(p.tempo->text(), QStringLiteral("120"));
        QCOMPARE(p.score->score(), loadSong(7).score);
    }

    void keysPlayWhileAScoreWaits()
    {
        Panel p(*fixture);
        p.score->setScore("c-");
        p.tempo->setText("600");
        QTimer::singleShot(50, [&] {
            p.receiver->setFocus();
            QTest::keyPress(p.receiver, Qt::Key_A);
        });
        QTest::mouseClick(p.play, Qt::LeftButton);
        // The key takes the single voice over; the score's own stop then silences it.
        QCOMPARE(fixture->backend.messages(), (Messages{noteOn(60), noteOff(60), noteOn(57), noteOff(57)}));
    }

    void clickDuringTheGreetingPlaysTheScoreThenEndsTheGreeting()
    {
        fixture.reset();
        fixture = std::make_unique<WindowFixture>();
        Panel p(*fixture);
        QTimer::singleShot(200, [&] {
            p.score->setScore("g");
            p.tempo->setText("600");
            QTest::mouseClick(p.play, Qt::LeftButton);
        });
        fixture->start(true);
        QCOMPARE(fixture->backend.messages(),
                 (Messages{noteOn(60), noteOff(60), noteOn(67), noteOff(67), noteOff(0)}));
        QVERIFY(p.idle());
    }

private:
    std::unique_ptr<WindowFixture> fixture;
};

QTEST_MAIN(ScorePanelTest)
#include "test_score_panel.moc"
