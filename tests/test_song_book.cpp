#include "score_rig.h"
#include "music/song_book.h"

#include <QTest>

#include <limits>

using namespace piano;
using namespace piano::test;

namespace {
QByteArray bytes(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }
} // namespace

class SongBookTest : public QObject {
    Q_OBJECT

private slots:
    void shape_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("tempo");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("rests");
        QTest::addColumn<bool>("speedMarks");
        QTest::newRow("1") << 1 << 200 << 1 << true << false;
        QTest::newRow("2") << 2 << 300 << 3 << false << false;
        QTest::newRow("3") << 3 << 200 << 2 << false << false;
        QTest::newRow("4") << 4 << 240 << 4 << false << false;
        QTest::newRow("5") << 5 << 200 << 5 << true << true;
        QTest::newRow("6") << 6 << 240 << 3 << true << false;
        QTest::newRow("7") << 7 << 120 << 2 << false << true;
        QTest::newRow("8") << 8 << 240 << 4 << false << false;
        QTest::newRow("9") << 9 << 240 << 8 << true << false;
        QTest::newRow("10") << 10 << 240 << 3 << true << true;
    }
    void shape()
    {
        QFETCH(int, row);
        QFETCH(int, tempo);
        QFETCH(int, lines);
        QFETCH(bool, rests);
        QFETCH(bool, speedMarks);

        const QByteArray entry = bytes(songEntries()[static_cast<std::size_t>(row - 1)]);
        QCOMPARE(entry.left(4), QByteArray::number(tempo) + ' ');

        const Song song = loadSong(row);
        QCOMPARE(song.tempo, tempo);
        const QByteArray score = bytes(song.score);
        QCOMPARE(score, entry.mid(4));
        QCOMPARE(score.split('\n').size(), lines);
        QCOMPARE(score.count("\r\n"), lines - 1);
        QCOMPARE(score.count('\r'), lines - 1);

        QCOMPARE(score.contains('0'), rests);
        QCOMPARE(score.contains('>'), speedMarks);
        QCOMPARE(score.contains('<'), speedMarks);

        // Written in lower case, nothing the player would skip except blanks and line breaks,
        // every '-' attached to a note or rest, and speed marks in pairs that open before they close.
        int depth = 0;
        char previous = ' ';
        for (const char c : score) {
            const bool note = (c >= 'a' && c <= 'z') || c == '0';
            QVERIFY2(note || c == '-' || c == '>' || c == '<' || c == ' ' || c == '\r' || c == '\n',
                     qPrintable(QStringLiteral("row %1: unexpected '%2'").arg(row).arg(c)));
            if (c == '-')
                QVERIFY2((previous >= 'a' && previous <= 'z') || previous == '0' || previous == '-',
                         qPrintable(QStringLiteral("row %1: loose '-'").arg(row)));
            if (c == '>')
                ++depth;
            if (c == '<')
                --depth;
            QVERIFY2(depth == 0 || depth == 1, qPrintable(QStringLiteral("row %1: unpaired speed mark").arg(row)));
            previous = c;
        }
        QCOMPARE(depth, 0);
    }

    // Each song plays from its first note to its last and leaves nothing sounding.
    void playsThrough_data()
    {
        QTest::addColumn<int>("row");
        for (int row = 1; row <= kSongCount; ++row)
            QTest::newRow(QByteArray::number(row).constData()) << row;
    }
    void playsThrough()
    {
        QFETCH(int, row);
        ScoreRig rig;

        const Song song = loadSong(row);
        rig.player.playScore(song.score, song.tempo);

        int letters = 0;
        for (const char c : song.score)
            letters += c >= 'a' && c <= 'z';
        QCOMPARE(static_cast<int>(rig.backend.sent.size()), 2 * letters);
        for (std::size_t i = 0; i < rig.backend.sent.size(); i += 2) {
            const std::uint32_t on = rig.backend.sent[i].message;
            QCOMPARE(on & 0xFFu, 0x90u);
            QCOMPARE(rig.backend.sent[i + 1].message, (on & 0xFF00u) | 0x80u);
            QVERIFY(rig.backend.sent[i + 1].atMs > rig.backend.sent[i].atMs);
        }
        QCOMPARE(rig.notes.soundingNote(), 0);
        // Long enough to be a tune, short enough to listen to.
        QVERIFY2(rig.pump.nowMs >= 10'000 && rig.pump.nowMs <= 120'000, qPrintable(QString::number(rig.pump.nowMs)));
    }

    void rowsGivenInFull()
    {
        QCOMPARE(songEntries()[0],
                 "200 lklklikjh-- cehi-- egij-- elklklikch-- cehi-- ejih-- 0lklklikjh-- cehi-- egij-- elklklikjh-- "
                 "cehi-- ejih-- ijkl-- gmlk-- flkj-- ekji--");
        QCOMPARE(songEntries()[5], "240 ggh-g-j-i--- ggh-g-k-j---\r\nggn-l-j-i-h--- 0-\r\nmml-j-k-j---");
    }

    void labelsInOrder()
    {
        const QStringList expected{"1 - 致爱丽丝",     "2 - 雨的印记",     "3 - 祈祷",
                                   "4 - 同一首歌",     "5 - 男儿当自强",   "6 - 祝你生日快乐",
                                   "7 - 沧海一声笑",   "8 - 小城故事",     "9 - 月亮代表我的心",
                                   "10 - 水手"};
        QStringList labels;
        for (const std::string_view label : songLabels())
            labels << QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
        QCOMPARE(labels, expected);
    }

    void loadRow7()
    {
        const Song song = loadSong(7);
        QCOMPARE(song.tempo, 120);
        const QByteArray entry = bytes(songEntries()[6]);
        QCOMPARE(bytes(song.score), entry.mid(4));
        QCOMPARE(bytes(song.score).split('\n').size(), 2);
        QVERIFY(!song.score.empty() && song.score.front() != ' ');
    }

    void loadRow1()
    {
        const Song song = loadSong(1);
        QCOMPARE(song.tempo, 200);
        QVERIFY(song.score.starts_with("lklklikjh--"));
    }

    void rowsOutOfRangeAreEmpty_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("0") << 0;
        QTest::newRow("11") << 11;
        QTest::newRow("-1") << -1;
        QTest::newRow("int min") << std::numeric_limits<int>::min();
        QTest::newRow("int max") << std::numeric_limits<int>::max();
    }
    void rowsOutOfRangeAreEmpty()
    {
        QFETCH(int, row);
        const Song song = loadSong(row);
        QVERIFY(song.score.empty());
        QCOMPARE(song.tempo, 0);
    }
};

QTEST_GUILESS_MAIN(SongBookTest)
#include "test_song_book.moc"
