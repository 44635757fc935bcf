#include "score_rig.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace piano;
using namespace piano::test;

namespace {

struct Rig : ScoreRig {
    void play(const QByteArray& score, int tempo, bool tempoGiven = true)
    {
        player.playScore(std::string_view(score.constData(), static_cast<std::size_t>(score.size())), tempo,
                         tempoGiven);
    }

    // "time on|off note", so a failure shows which message went wrong and when.
    QStringList timeline() const
    {
        QStringList out;
        for (const RecordingBackend::Sent& s : backend.sent) {
            const int note = static_cast<int>(s.message >> 8 & 0xFF);
            QString what;
            if (s.message == noteOn(note))
                what = QStringLiteral("on");
            else if (s.message == noteOff(note))
                what = QStringLiteral("off");
            else
                what = QStringLiteral("raw 0x%1").arg(s.message, 0, 16);
            out << QStringLiteral("%1 %2 %3").arg(s.atMs).arg(what).arg(note);
        }
        return out;
    }
};

QByteArray repeated(char c, int n) { return QByteArray(n, c); }

} // namespace

class ScorePlayerTest : public QObject {
    Q_OBJECT

private slots:
    // Every run starts with a stop request already set: a non-empty score must clear it and play anyway.
    void play_data()
    {
        QTest::addColumn<QByteArray>("score");
        QTest::addColumn<int>("tempo");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<qint64>("endMs");
        QTest::addColumn<int>("pumps");  // processPending calls: one per step of the scan

        QTest::newRow("dashes lengthen") << QByteArray("c--") << 120 << QStringList{"0 on 60", "1500 off 60"}
                                         << qint64{1500} << 1;
        QTest::newRow("loose dashes ignored")
            << QByteArray("c - -") << 120 << QStringList{"0 on 60", "500 off 60"} << qint64{500} << 5;
        QTest::newRow("rest is silent") << QByteArray("0--") << 240 << QStringList{} << qint64{750} << 1;
        QTest::newRow("rest then note") << QByteArray("0--c") << 240 << QStringList{"750 on 60", "1000 off 60"}
                                        << qint64{1000} << 2;
        QTest::newRow("faster then back")
            << QByteArray(">cd<e") << 120
            << QStringList{"0 on 60", "250 off 60", "250 on 62", "500 off 62", "500 on 64", "1000 off 64"}
            << qint64{1000} << 5;
        QTest::newRow("slower") << QByteArray("<c") << 120 << QStringList{"0 on 60", "1000 off 60"} << qint64{1000}
                                << 2;
        QTest::newRow("fast passage stays fast without its pair")
            << QByteArray(">c-d") << 200 << QStringList{"0 on 60", "300 off 60", "300 on 62", "450 off 62"}
            << qint64{450} << 3;
        QTest::newRow("tempo 70 truncates") << QByteArray("c") << 70 << QStringList{"0 on 60", "857 off 60"}
                                            << qint64{857} << 1;
        QTest::newRow("lower case") << QByteArray("sgr") << 300
                                    << QStringList{"0 on 43", "200 off 43", "200 on 67", "400 off 67", "400 on 86",
                                                   "600 off 86"}
                                    << qint64{600} << 3;
        QTest::newRow("upper case") << QByteArray("SGR") << 300
                                    << QStringList{"0 on 43", "200 off 43", "200 on 67", "400 off 67", "400 on 86",
                                                   "600 off 86"}
                                    << qint64{600} << 3;
        QTest::newRow("digits 1 to 9 and punctuation ignored")
            << QByteArray("c9-!d") << 300 << QStringList{"0 on 60", "200 off 60", "200 on 62", "400 off 62"}
            << qint64{400} << 5;
        QTest::newRow("blanks and line breaks only") << QByteArray(" \r\n\t ") << 120 << QStringList{} << qint64{0}
                                                     << 5;
        QTest::newRow("tempo 0: notes replace each other, last left sounding")
            << QByteArray("c0d-e") << 0 << QStringList{"0 on 60", "0 off 60", "0 on 62", "0 off 62", "0 on 64"}
            << qint64{0} << 4;
        QTest::newRow("negative tempo") << QByteArray("cd") << -120
                                        << QStringList{"0 on 60", "0 off 60", "0 on 62"} << qint64{0} << 2;
        QTest::newRow("ten < : one unit lasts 1024 units")
            << (repeated('<', 10) + "c") << 120 << QStringList{"0 on 60", "512000 off 60"} << qint64{512000} << 11;
        QTest::newRow("eleven < : divisor 0, no waits")
            << (repeated('<', 11) + "c-d0--") << 120 << QStringList{"0 on 60", "0 off 60", "0 on 62"} << qint64{0}
            << 14;
        // At tempo 1, 35 units are 2,100,000 ms: long enough to last 2 ms at divisor 2^30 (20 '>') and -1 ms at the
        // wrapped -2^31 (21 '>'); 22 '>' wraps the divisor to 0.
        QTest::newRow("20 > : divisor 2^30")
            << (repeated('>', 20) + "c" + repeated('-', 34) + "d") << 1
            << QStringList{"0 on 60", "2 off 60", "2 on 62"} << qint64{2} << 22;
        QTest::newRow("21 > : divisor wraps to -2^31")
            << (repeated('>', 21) + "c" + repeated('-', 34) + "d") << 1
            << QStringList{"0 on 60", "0 off 60", "0 on 62"} << qint64{0} << 23;
        QTest::newRow("22 > : divisor 0, and < keeps it there")
            << (repeated('>', 22) + "<c" + repeated('-', 34) + "d") << 1
            << QStringList{"0 on 60", "0 off 60", "0 on 62"} << qint64{0} << 25;
        QTest::newRow("Chinese characters skipped whole")
            << QByteArray("c中A文d") << 300
            << QStringList{"0 on 60", "200 off 60", "200 on 57", "400 off 57", "400 on 62", "600 off 62"}
            << qint64{600} << 5;
        // 癆 is 0xB0 0x41 in GBK, where its second byte would read as A; in UTF-8 no byte of it is ASCII.
        QTest::newRow("no letter from a multibyte character")
            << QByteArray("癆c") << 300 << QStringList{"0 on 60", "200 off 60"} << qint64{200} << 2;
        QTest::newRow("four-byte character") << QByteArray("🎹d") << 300 << QStringList{"0 on 62", "200 off 62"}
                                             << qint64{200} << 2;
        QTest::newRow("dash after a Chinese character ignored")
            << QByteArray("c中-") << 300 << QStringList{"0 on 60", "200 off 60"} << qint64{200} << 3;
        QTest::newRow("cut lead byte keeps the ASCII after it")
            << QByteArray("\xe4" "c\xe4\xb8" "d") << 300
            << QStringList{"0 on 60", "200 off 60", "200 on 62", "400 off 62"} << qint64{400} << 4;
        QTest::newRow("stray continuation bytes one at a time")
            << QByteArray("\x80\xbf" "e") << 300 << QStringList{"0 on 64", "200 off 64"} << qint64{200} << 3;
        QTest::newRow("invalid lead bytes") << QByteArray("\xf8\xff\xfe" "f") << 300
                                            << QStringList{"0 on 65", "200 off 65"} << qint64{200} << 4;
        QTest::newRow("cut character at the end")
            << QByteArray("g\xe4\xb8") << 300 << QStringList{"0 on 67", "200 off 67"} << qint64{200} << 2;
    }
    void play()
    {
        QFETCH(QByteArray, score);
        QFETCH(int, tempo);
        QFETCH(QStringList, expected);
        QFETCH(qint64, endMs);
        QFETCH(int, pumps);
        Rig rig;
        rig.player.requestStop();
        rig.play(score, tempo);
        QCOMPARE(rig.timeline(), expected);
        QCOMPARE(rig.pump.nowMs, endMs);
        QCOMPARE(rig.pump.pendingCalls, pumps);
        QVERIFY(!rig.player.stopRequested());
    }

    void emptyScoreDoesNothing()
    {
        Rig rig;
        rig.player.requestStop();
        rig.play(QByteArray(), 120);
        QVERIFY(rig.backend.sent.empty());
        QCOMPARE(rig.pump.pendingCalls, 0);
        QCOMPARE(rig.pump.delayCalls, 0);
        QVERIFY(rig.player.stopRequested());
    }

    void tempoNotGivenIs120()
    {
        Rig rig;
        rig.play("c", 30, false);
        QCOMPARE(rig.timeline(), (QStringList{"0 on 60", "500 off 60"}));
    }

    void speedStartsAfreshEachRun()
    {
        Rig rig;
        rig.play(">>c", 120);
        rig.play("c", 120);
        QCOMPARE(rig.timeline(), (QStringList{"0 on 60", "125 off 60", "125 on 60", "625 off 60"}));
    }

    void greetingScale()
    {
        Rig rig;
        rig.player.playScore(kGreetingScore, kGreetingTempo);
        QStringList expected;
        const int notes[] = {60, 62, 64, 65, 67, 69, 71};
        for (int i = 0; i < 7; ++i)
            expected << QStringLiteral("%1 on %2").arg(i * 500).arg(notes[i])
                     << QStringLiteral("%1 off %2").arg((i + 1) * 500).arg(notes[i]);
        expected << "3500 on 72" << "4500 off 72";
        QCOMPARE(rig.timeline(), expected);
    }

    void stopDuringLongNoteEndsAfterIt()
    {
        Rig rig;
        rig.pump.at(700, [&] { rig.player.requestStop(); });
        rig.play("c---d e", 120);
        QCOMPARE(rig.timeline(), (QStringList{"0 on 60", "2000 off 60"}));
        QCOMPARE(rig.pump.nowMs, 2000);
        // One pass for the note; the loop then sees the request before touching 'd'.
        QCOMPARE(rig.pump.pendingCalls, 1);
        QVERIFY(rig.player.stopRequested());
    }

    void stopDuringRestEndsAfterIt()
    {
        Rig rig;
        rig.pump.at(100, [&] { rig.player.requestStop(); });
        rig.play("0---c", 120);
        QVERIFY(rig.backend.sent.empty());
        QCOMPARE(rig.pump.nowMs, 2000);
        QCOMPARE(rig.pump.pendingCalls, 1);
    }

    void stopBetweenCharacters()
    {
        Rig rig;
        // Due at the end of 'c': seen by the pass after it, so 'd' never starts.
        rig.pump.at(500, [&] { rig.player.requestStop(); });
        rig.play("c d", 120);
        QCOMPARE(rig.timeline(), (QStringList{"0 on 60", "500 off 60"}));
    }

    // Millions of '-' after one letter make one long note; the scan must stay linear.
    void millionsOfDashes_data()
    {
        QTest::addColumn<int>("dashes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("3 million") << 3'000'000 << QStringList{"0 on 60", "1500000500 off 60"};
        // 500 ms x 5,000,001 is past 2^31 and wraps negative: the note is left sounding.
        QTest::newRow("5 million") << 5'000'000 << QStringList{"0 on 60"};
    }
    void millionsOfDashes()
    {
        QFETCH(int, dashes);
        QFETCH(QStringList, expected);
        Rig rig;
        rig.play("c" + repeated('-', dashes), 120);
        QCOMPARE(rig.timeline(), expected);
        QCOMPARE(rig.pump.pendingCalls, 1);
    }

    void duration_data()
    {
        QTest::addColumn<int>("tempo");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("expected");
        constexpr int kMin = std::numeric_limits<int>::min();
        QTest::newRow("120") << 120 << qint64{1} << 1024 << 500;
        QTest::newRow("200") << 200 << qint64{1} << 1024 << 300;
        QTest::newRow("240 x3") << 240 << qint64{3} << 1024 << 750;
        QTest::newRow("300") << 300 << qint64{1} << 1024 << 200;
        QTest::newRow("70 truncates, never rounds up") << 70 << qint64{1} << 1024 << 857;
        QTest::newRow("7 / 1000 truncates") << 7 << qint64{1} << 1000 << 8776;
        // 857 * 1024 / 3 = 292522.67; without the first truncation it would be 292571.
        QTest::newRow("beats truncated before the divisor") << 70 << qint64{1} << 3 << 292522;
        QTest::newRow("faster") << 120 << qint64{1} << 2048 << 250;
        QTest::newRow("slower") << 120 << qint64{1} << 512 << 1000;
        QTest::newRow("negative tempo truncates toward zero") << -70 << qint64{1} << 1024 << -857;
        QTest::newRow("negative divisor") << 120 << qint64{1} << -1024 << -500;
        QTest::newRow("divisor -2^31") << 120 << qint64{1} << kMin << 0;
        QTest::newRow("tempo 0 is infinite") << 0 << qint64{1} << 1024 << 0;
        QTest::newRow("divisor 0 is infinite") << 120 << qint64{1} << 0 << 0;
        QTest::newRow("tempo 0 and divisor 0 is NaN") << 0 << qint64{1} << 0 << 0;
        QTest::newRow("beats keep their low 32 bits") << 1 << qint64{100'000} << 1024 << 1'705'032'704;
        QTest::newRow("beats wrap negative") << 1 << qint64{40'000} << 1024 << -1'894'967'296;
        QTest::newRow("result keeps its low 32 bits") << 1 << qint64{35} << 1 << -2'144'567'296;
        QTest::newRow("2^32 + 1 beats of 1 ms") << 60000 << qint64{4'294'967'297} << 1024 << 1;
        QTest::newRow("2^40 beats of 500 ms") << 120 << (qint64{1} << 40) << 1024 << 0;
        QTest::newRow("count past 64 bits of ms") << 120 << std::numeric_limits<qint64>::max() << 1024 << 0;
        QTest::newRow("int extremes") << std::numeric_limits<int>::max() << qint64{1} << 1 << 0;
    }
    void duration()
    {
        QFETCH(int, tempo);
        QFETCH(qint64, count);
        QFETCH(int, divisor);
        QFETCH(int, expected);
        QCOMPARE(ScorePlayer::duration(tempo, count, divisor), expected);
    }

    void toInt32_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        constexpr double kTwo63 = 9223372036854775808.0;
        QTest::newRow("truncates up") << 2.9 << 2;
        QTest::newRow("truncates toward zero") << -2.9 << -2;
        QTest::newRow("2^31 wraps") << 2147483648.0 << std::numeric_limits<int>::min();
        QTest::newRow("2^32 + 0.5") << 4294967296.5 << 0;
        QTest::newRow("-(2^32) - 5") << -4294967301.0 << -5;
        QTest::newRow("largest below 2^63") << (kTwo63 - 1024.0) << -1024;
        QTest::newRow("-2^63") << -kTwo63 << 0;
        QTest::newRow("2^63") << kTwo63 << 0;
        QTest::newRow("huge") << 1e300 << 0;
        QTest::newRow("huge negative") << -1e300 << 0;
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << 0;
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << 0;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    }
    void toInt32()
    {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(ScorePlayer::toInt32(value), expected);
    }
};

QTEST_GUILESS_MAIN(ScorePlayerTest)
#include "test_score_player.moc"
