// The HKD382 track data block: parsing read replies and building write blocks, byte for byte.
#include "card/TrackBlock.h"

#include <QtTest>

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }
} // namespace

class TrackBlockTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<QByteArray>>("tracks");
        using L = QList<QByteArray>;
        const QByteArray good = hex("1B 73 1B 01 25 42 31 32 33 3F 1B 02 3B 2B 1B 03 3B 34 35 36 3F 3F 1C 1B 30");
        QTest::newRow("B123, +, 456") << good << true << L{"B123", "+", "456"};
        QTest::newRow("+, 12=34, +") << hex("1B 73 1B 01 25 2B 1B 02 3B 31 32 3D 33 34 3F 1B 03 3B 2B 3F 1C 1B 30")
                                     << true << L{"+", "12=34", "+"};
        QTest::newRow("status 1 with complete data")
            << hex("1B 73 1B 01 25 2B 1B 02 3B 31 32 3D 33 34 3F 1B 03 3B 2B 3F 1C 1B 31") << false << L{};
        QTest::newRow("only the status") << hex("1B 30") << false << L{};
        QTest::newRow("track 1 only its end sentinel")
            << hex("1B 73 1B 01 25 3F 1B 02 3B 2B 1B 03 3B 2B 1B 30") << true << L{"", "+", "+"};
        QTest::newRow("track 3 ends at the first ?")
            << hex("1B 73 1B 01 25 2B 1B 02 3B 2B 1B 03 3B 37 3F 38 3F 1C 1B 30") << true << L{"+", "+", "7"};
        QTest::newRow("track 1 data beginning with +")
            << hex("1B 73 1B 01 25 2B 41 42 3F 1B 02 3B 31 3F 1B 03 3B 2B 3F 1C 1B 30") << true << L{"+AB", "1", "+"};

        // Malformed replies.
        QTest::newRow("empty") << QByteArray() << false << L{};
        QTest::newRow("no ESC before the status") << hex("1B 73 1B 01 25 2B 1B 02 3B 2B 1B 03 3B 2B 30") << false << L{};
        QTest::newRow("does not begin with ESC s") << hex("1B 72 1B 01 25 2B 1B 02 3B 2B 1B 03 3B 2B 1B 30") << false << L{};
        QTest::newRow("too short for the track 1 header") << hex("1B 73 1B 01 1B 30") << false << L{};
        QTest::newRow("+ with nothing after it") << hex("1B 73 1B 01 25 2B 1B 30") << false << L{};
        // A failure part way keeps the tracks split off before it.
        QTest::newRow("ESC 02 missing") << hex("1B 73 1B 01 25 41 42 3F 1B 03 3B 2B 1B 30") << false << L{};
        QTest::newRow("ESC 02 leaves no room for the end sentinel")
            << hex("1B 73 1B 01 25 1B 02 3B 2B 1B 03 3B 2B 1B 30") << false << L{};
        QTest::newRow("ESC 03 missing, track 1 kept") << hex("1B 73 1B 01 25 41 3F 1B 02 3B 31 3F 1B 30") << false << L{"A"};
        QTest::newRow("ESC 03 without the track 3 sentinel, track 1 kept")
            << hex("1B 73 1B 01 25 41 3F 1B 02 3B 31 3F 1B 03 1B 30") << false << L{"A"};
        QTest::newRow("no ? on track 3, tracks 1 and 2 kept")
            << hex("1B 73 1B 01 25 41 3F 1B 02 3B 31 3F 1B 03 3B 35 36 1B 30") << false << L{"A", "1"};
    }
    void parse()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, ok);
        QFETCH(QList<QByteArray>, tracks);
        const Iso::ParsedBlock got = Iso::ParseReadBlock(reply);
        QCOMPARE(got.ok, ok);
        QCOMPARE(got.tracks, tracks);
    }

    void build_data()
    {
        QTest::addColumn<QByteArray>("t1");
        QTest::addColumn<QByteArray>("t2");
        QTest::addColumn<QByteArray>("t3");
        QTest::addColumn<QByteArray>("block");
        QTest::newRow("B123, +, 456") << QByteArray("B123") << QByteArray("+") << QByteArray("456")
                                      << hex("1B 73 1B 01 42 31 32 33 1B 02 1B 03 34 35 36 3F 1C");
        QTest::newRow("empty, *, empty") << QByteArray() << QByteArray("*") << QByteArray()
                                         << hex("1B 73 1B 01 1B 02 1B 03 3F 1C");
        QTest::newRow("characters sent unchecked") << QByteArray("a*+") << QByteArray("\xff") << QByteArray("?")
                                                   << hex("1B 73 1B 01 61 2A 2B 1B 02 FF 1B 03 3F 3F 1C");
    }
    void build()
    {
        QFETCH(QByteArray, t1);
        QFETCH(QByteArray, t2);
        QFETCH(QByteArray, t3);
        QFETCH(QByteArray, block);
        QCOMPARE(Iso::BuildWriteBlock(t1, t2, t3), block);
    }

    void dataAndCount_data()
    {
        QTest::addColumn<QByteArray>("track");
        QTest::addColumn<bool>("hasData");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << QByteArray() << false << 0;
        QTest::newRow("+") << QByteArray("+") << false << 0;
        QTest::newRow("*") << QByteArray("*") << false << 1;
        QTest::newRow("text") << QByteArray("12=34") << true << 5;
        QTest::newRow("++") << QByteArray("++") << true << 2;
    }
    void dataAndCount()
    {
        QFETCH(QByteArray, track);
        QFETCH(bool, hasData);
        QFETCH(int, count);
        QCOMPARE(Iso::HasData(track), hasData);
        QCOMPARE(Iso::CharCount(track), count);
    }
};

QTEST_APPLESS_MAIN(TrackBlockTest)
#include "tst_trackblock.moc"
