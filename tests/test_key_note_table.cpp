#include "music/key_note_table.h"

#include <QTest>

#include <limits>

using namespace piano;

class KeyNoteTableTest : public QObject {
    Q_OBJECT

private slots:
    void builtRows_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("note");
        QTest::addColumn<QString>("label");
        const struct {
            char letter;
            int note;
            const char* label;
        } rows[] = {
            {'S', 43, "..5"}, {'T', 45, "..6"}, {'U', 47, "..7"}, {'V', 48, ".1"}, {'W', 50, ".2"}, {'X', 52, ".3"},
            {'Y', 53, ".4"},  {'Z', 55, ".5"},  {'A', 57, ".6"},  {'B', 59, ".7"}, {'C', 60, "1"},  {'D', 62, "2"},
            {'E', 64, "3"},   {'F', 65, "4"},   {'G', 67, "5"},   {'H', 69, "6"},  {'I', 71, "7"},  {'J', 72, "1."},
            {'K', 74, "2."},  {'L', 76, "3."},  {'M', 77, "4."},  {'N', 79, "5."}, {'O', 81, "6."}, {'P', 83, "7."},
            {'Q', 84, "1.."}, {'R', 86, "2.."},
        };
        for (const auto& row : rows)
            QTest::newRow(QByteArray(1, row.letter).constData()) << row.letter << row.note << QString(row.label);
    }
    void builtRows()
    {
        QFETCH(char, letter);
        QFETCH(int, note);
        QFETCH(QString, label);
        KeyNoteTable table;
        table.build();
        const KeyNoteEntry entry = table.lookUp(letter);
        QCOMPARE(entry.音符, note);
        QCOMPARE(QString::fromStdString(entry.简谱), label);
    }

    void exactlyTheLetters()
    {
        KeyNoteTable table;
        table.build();
        QCOMPARE(table.size(), std::size_t{26});
    }

    void codesWithoutNote_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("zero") << 0;
        QTest::newRow("space") << 32;
        QTest::newRow("digit 0") << 48;
        QTest::newRow("@ just below A") << 64;
        QTest::newRow("[ just above Z") << 91;
        QTest::newRow("lower-case a") << 97;
        QTest::newRow("lower-case z") << 122;
        QTest::newRow("A plus 256") << 65 + 256;
        QTest::newRow("A plus 65536") << 65 + 65536;
        QTest::newRow("minus one") << -1;
        QTest::newRow("int min") << std::numeric_limits<int>::min();
        QTest::newRow("int max") << std::numeric_limits<int>::max();
    }
    void codesWithoutNote()
    {
        QFETCH(int, code);
        KeyNoteTable table;
        table.build();
        const KeyNoteEntry entry = table.lookUp(code);
        QCOMPARE(entry.音符, 0);
        QVERIFY(entry.简谱.empty());
    }

    void lookUpBeforeBuildGivesNothing()
    {
        const KeyNoteTable table;
        for (int code = -1; code <= 256; ++code) {
            const KeyNoteEntry entry = table.lookUp(code);
            QCOMPARE(entry.音符, 0);
            QVERIFY(entry.简谱.empty());
        }
    }

    void addStoresUnderTheGivenCode()
    {
        KeyNoteTable table;
        table.add(71, 67, "5");
        table.add(71, 55, ".5");
        QCOMPARE(table.size(), std::size_t{1});
        QCOMPARE(table.lookUp(71).音符, 55);
        QCOMPARE(table.lookUp(71).简谱, std::string(".5"));
        QCOMPARE(table.lookUp(71 + 256).音符, 0);
    }
};

QTEST_GUILESS_MAIN(KeyNoteTableTest)
#include "test_key_note_table.moc"
