// The shared text validators, NumericValue, the character sets and what every start begins with.
#include "card/Validators.h"
#include "device/Connection.h"

#include <QtTest>

using namespace MainModule;

class TestValidators : public QObject {
    Q_OBJECT
private slots:
    void sevenBit_data();
    void sevenBit();
    void fiveBit_data();
    void fiveBit();
    void raw_data();
    void raw();
    void numericValue_data();
    void numericValue();
    void numericValueOfString();
    void startUpDefaults();
};

void TestValidators::sevenBit_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("letters and digits") << QByteArray("%B1234^DOE/J^") << true;
    QTest::newRow("space and underscore") << QByteArray(" _") << true;
    QTest::newRow("less-than passes") << QByteArray("A<B") << true;
    QTest::newRow("question mark") << QByteArray("A?B") << false;
    QTest::newRow("lower case") << QByteArray("Abc") << false;
    QTest::newRow("below space") << QByteArray("A\x1F") << false;
    QTest::newRow("backquote") << QByteArray("`") << false;
    QTest::newRow("high byte") << QByteArray("A\xC9") << false;
}

void TestValidators::sevenBit()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValid7BitText(text), valid);
}

void TestValidators::fiveBit_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("whole range") << QByteArray("0123456789:;<=>") << true;
    QTest::newRow("question mark") << QByteArray("12?34") << false;
    QTest::newRow("slash") << QByteArray("/") << false;
    QTest::newRow("letter") << QByteArray("12A") << false;
    QTest::newRow("space") << QByteArray("1 2") << false;
}

void TestValidators::fiveBit()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(IsValid5BitText(text), valid);
}

void TestValidators::raw_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<bool>("valid");
    QTest::newRow("5: empty") << 5 << QByteArray() << false;
    QTest::newRow("5: first odd") << 5 << QByteArray("\x01\x02\x1F") << true;
    QTest::newRow("5: first 02, whatever follows") << 5 << QByteArray("\x02\x01\x03") << false;
    QTest::newRow("5: zero value") << 5 << QByteArray("\x01\x00", 2) << false;
    QTest::newRow("5: above 1F") << 5 << QByteArray("\x01\x20") << false;
    QTest::newRow("6: up to 3F") << 6 << QByteArray("\x3F\x20") << true;
    QTest::newRow("6: first even") << 6 << QByteArray("\x3E") << false;
    QTest::newRow("6: above 3F") << 6 << QByteArray("\x01\x40") << false;
    QTest::newRow("7: up to 7F") << 7 << QByteArray("\x7F\x40") << true;
    QTest::newRow("7: first even") << 7 << QByteArray("\x40\x41") << false;
    QTest::newRow("7: above 7F") << 7 << QByteArray("\x01\x80") << false;
    QTest::newRow("7: empty") << 7 << QByteArray() << false;
}

void TestValidators::raw()
{
    QFETCH(int, bits);
    QFETCH(QByteArray, values);
    QFETCH(bool, valid);
    const bool result = bits == 5 ? IsValidRaw5Bit(values) : bits == 6 ? IsValidRaw6Bit(values) : IsValidRaw7Bit(values);
    QCOMPARE(result, valid);
}

void TestValidators::numericValue_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint32>("value");
    QTest::newRow("12abc") << QByteArray("12abc") << 12;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("abc") << QByteArray("abc") << 0;
    QTest::newRow("leading blanks") << QByteArray("   42") << 42;
    QTest::newRow("&H1F") << QByteArray("&H1F") << 31;
    QTest::newRow("&h lower case") << QByteArray("&h0a") << 10;
    QTest::newRow("&H alone") << QByteArray("&H") << 0;
    QTest::newRow("&H largest positive") << QByteArray("&H7FFFFFFF") << 2147483647;
    QTest::newRow("&H all 32 bits") << QByteArray("&HFFFFFFFF") << -1;
    QTest::newRow("&H beyond 32 bits") << QByteArray("&H100000000") << 0;
    QTest::newRow("2.5 to even") << QByteArray("2.5") << 2;
    QTest::newRow("3.5 to even") << QByteArray("3.5") << 4;
    QTest::newRow("-2.5 to even") << QByteArray("-2.5") << -2;
    QTest::newRow("0.5 to even") << QByteArray(".5") << 0;
    QTest::newRow("just above a half") << QByteArray("0.5000001") << 1;
    QTest::newRow("1e3") << QByteArray("1e3") << 1000;
    QTest::newRow("1.5E1") << QByteArray("1.5E1") << 15;
    QTest::newRow("negative exponent") << QByteArray("25e-1") << 2;
    QTest::newRow("exponent without digits") << QByteArray("7e") << 7;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("sign alone") << QByteArray("-") << 0;
    QTest::newRow("stops at a blank") << QByteArray("12 34") << 12;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << qint32(-2147483647 - 1);
    QTest::newRow("one beyond") << QByteArray("2147483648") << 0;
    QTest::newRow("one below") << QByteArray("-2147483649") << 0;
    QTest::newRow("rounds beyond") << QByteArray("2147483647.5") << 0;
    QTest::newRow("1e10") << QByteArray("1e10") << 0;
    QTest::newRow("beyond a double") << QByteArray("1e400") << 0;
}

void TestValidators::numericValue()
{
    QFETCH(QByteArray, text);
    QFETCH(qint32, value);
    QCOMPARE(NumericValue(text), value);
}

void TestValidators::numericValueOfString()
{
    QCOMPARE(NumericValue(QStringLiteral(" 0015x")), 15);
    QCOMPARE(NumericValue(QStringLiteral("\u20AC5")), 0);
}

void TestValidators::startUpDefaults()
{
    const Connection start;
    QCOMPARE(start.dialect, DialectId::Hkd382);
    QVERIFY(start.highCoercivity);
    QCOMPARE(Track7BitChars.size(), 62);
    QCOMPARE(Track7BitChars.at(0), '"');
    for (int c = 0x20; c <= 0x5F; ++c)
        QCOMPARE(Track7BitChars.contains(char(c)), c != '<' && c != '?');
    QCOMPARE(Track5BitChars, QByteArray("0123456789:;=>"));
    QCOMPARE(DigitChars, QByteArray("0123456789"));
    QCOMPARE(HexChars, QByteArray("0123456789ABCDEF "));
}

QTEST_GUILESS_MAIN(TestValidators)
#include "tst_validators.moc"
