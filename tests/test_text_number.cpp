#include "music/text_number.h"

#include <QTest>

#include <limits>

using namespace piano;

class TextNumberTest : public QObject {
    Q_OBJECT

private slots:
    void textToInt_data()
    {
        constexpr int kMax = std::numeric_limits<std::int32_t>::max();
        constexpr int kMin = std::numeric_limits<std::int32_t>::min();
        const QByteArray fortyDigits = QByteArray("1234567890").repeated(4);

        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("120") << 120;
        QTest::newRow("full-width digits") << QByteArray("１２０") << 120;
        QTest::newRow("full-width signs") << QByteArray("－７") << -7;
        QTest::newRow("full-width plus") << QByteArray("＋８") << 8;
        QTest::newRow("full-width blank then digits") << QByteArray("\xe3\x80\x80" "９０") << 90;
        QTest::newRow("mixed widths") << QByteArray("1２3") << 123;
        QTest::newRow("blank before, letters after") << QByteArray(" 90x") << 90;
        QTest::newRow("plus") << QByteArray("+5") << 5;
        QTest::newRow("minus") << QByteArray("-3") << -3;
        QTest::newRow("leading zeros") << QByteArray("00240") << 240;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("letters") << QByteArray("abc") << 0;
        QTest::newRow("hex is not read") << QByteArray("0x10") << 0;
        QTest::newRow("tabs and line breaks") << QByteArray("\t\r\n\v\f 42") << 42;
        QTest::newRow("stops at inner blank") << QByteArray("12 34") << 12;
        QTest::newRow("sign alone") << QByteArray("-") << 0;
        QTest::newRow("blank after sign") << QByteArray("- 5") << 0;
        QTest::newRow("two signs") << QByteArray("+-5") << 0;
        QTest::newRow("Chinese before digits") << QByteArray("速度120") << 0;
        QTest::newRow("Chinese after digits") << QByteArray("120拍") << 120;
        QTest::newRow("int max") << QByteArray("2147483647") << kMax;
        QTest::newRow("one past int max saturates") << QByteArray("2147483648") << kMax;
        QTest::newRow("int min") << QByteArray("-2147483648") << kMin;
        QTest::newRow("one below int min saturates") << QByteArray("-2147483649") << kMin;
        QTest::newRow("40 digits saturate high") << fortyDigits << kMax;
        QTest::newRow("minus 40 digits saturate low") << ("-" + fortyDigits) << kMin;
        QTest::newRow("40 zeros then a digit") << (QByteArray(40, '0') + "7") << 7;
        QTest::newRow("invalid byte first") << QByteArray("\xff" "12") << 0;
        QTest::newRow("invalid byte inside") << QByteArray("12\xff" "3") << 12;
        QTest::newRow("stray continuation byte") << QByteArray("\x80" "5") << 0;
        QTest::newRow("cut full-width digit") << QByteArray("\xef\xbc") << 0;
        QTest::newRow("cut full-width digit after digits") << QByteArray("\xef\xbc\x91\xef\xbc") << 1;
        QTest::newRow("overlong digit one") << QByteArray("\xc0\xb1") << 0;
        QTest::newRow("overlong three-byte digit one") << QByteArray("\xe0\x80\xb1") << 0;
        QTest::newRow("other three-byte character") << QByteArray("\xef\x80\xb1" "5") << 0;
    }
    void textToInt()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        QCOMPARE(piano::textToInt(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TextNumberTest)
#include "test_text_number.moc"
