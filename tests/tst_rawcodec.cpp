// The non-ISO raw codec: hex pairs both ways, track codes, limits and lead-in, and the bytes of
// the non-ISO commands in both dialects.
#include "card/RawCodec.h"
#include "dialect/NonIsoCommands.h"

#include <QtTest>

using namespace NonIso;

Q_DECLARE_METATYPE(NonIso::HexStatus)
Q_DECLARE_METATYPE(NonIso::Density)
Q_DECLARE_METATYPE(NonIso::WriteJob)

namespace {

QByteArray hex(const char *spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

TrackWrite track(const char *data, const QString &item, Density d = Density::Bpi210)
{
    return {QByteArray(data), item, d};
}

WriteJob job(bool standard, TrackWrite t1, TrackWrite t2, TrackWrite t3)
{
    WriteJob j;
    j.standardFormat = standard;
    j.tracks = {t1, t2, t3};
    return j;
}

// A send list as text: "a1|ABC<04>|@", NUL writes as "<00>", a send whose reply is not awaited
// marked with "!".
QString describe(const QList<Send> &sends)
{
    QStringList parts;
    for (const Send &s : sends) {
        QString p;
        for (char c : s.bytes)
            p += (uchar(c) < 0x20) ? QStringLiteral("<%1>").arg(uchar(c), 2, 16, QLatin1Char('0')) : QString(QLatin1Char(c));
        parts << (s.awaitAck ? p : p + QLatin1Char('!'));
    }
    return parts.join(QLatin1Char('|'));
}

} // namespace

class TestRawCodec : public QObject {
    Q_OBJECT
private slots:
    void toHexPairs_data();
    void toHexPairs();
    void countHexPairs_data();
    void countHexPairs();
    void hexPairsToData_data();
    void hexPairsToData();
    void trackCodes_data();
    void trackCodes();
    void limitsAndLeadIn_data();
    void limitsAndLeadIn();
    void hasData_data();
    void hasData();
    void hkd382Read_data();
    void hkd382Read();
    void hkd382WriteBlock_data();
    void hkd382WriteBlock();
    void densityBytes();
    void vnt290bTrackCommands_data();
    void vnt290bTrackCommands();
    void vnt290bWriteSends_data();
    void vnt290bWriteSends();
};

void TestRawCodec::toHexPairs_data()
{
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("none") << QByteArray() << QByteArray();
    QTest::newRow("0B 1F") << hex("0B1F") << QByteArray("0B 1F ");
    QTest::newRow("01 7F") << hex("017F") << QByteArray("01 7F ");
    QTest::newRow("00 and FF") << hex("00FF") << QByteArray("00 FF ");
    QTest::newRow("encoder's no-data mark") << QByteArray("+") << QByteArray("2B ");
}

void TestRawCodec::toHexPairs()
{
    QFETCH(QByteArray, values);
    QFETCH(QByteArray, text);
    QCOMPARE(ToHexPairs(values), text);
}

void TestRawCodec::countHexPairs_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("trailing blank") << QByteArray("0B 1F ") << 2;
    QTest::newRow("no trailing blank") << QByteArray("0B 1F") << 2;
    QTest::newRow("two blanks between") << QByteArray("0B  1F") << 2;
    QTest::newRow("leading blank counts") << QByteArray(" 0B") << 2;
    QTest::newRow("one group") << QByteArray("0") << 1;
    QTest::newRow("blanks only") << QByteArray("   ") << 1;
    QTest::newRow("line ends and tab separate") << QByteArray("0B\r\n1F\t7F") << 3;
    QTest::newRow("long group is one") << QByteArray("0B1F") << 1;
}

void TestRawCodec::countHexPairs()
{
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    QCOMPARE(CountHexPairs(text), count);
    QCOMPARE(CountHexPairs(QString::fromLatin1(text)), count);
}

void TestRawCodec::hexPairsToData_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<HexStatus>("status");
    QTest::addColumn<QByteArray>("values");
    const auto ok = HexStatus::Ok;
    QTest::newRow("0B 1F") << QByteArray("0B 1F") << ok << hex("0B1F");
    QTest::newRow("one-digit group") << QByteArray("B 1F") << ok << hex("0B1F");
    QTest::newRow("trailing blank") << QByteArray("0B 1F ") << ok << hex("0B1F");
    QTest::newRow("leading and double blanks") << QByteArray("  0B   1F") << ok << hex("0B1F");
    QTest::newRow("45 72 72 is data") << QByteArray("45 72 72") << ok << hex("457272");
    QTest::newRow("trailing CR LF") << QByteArray("0B 1F\r\n") << ok << hex("0B1F");
    QTest::newRow("CR LF after last group") << QByteArray("0B 1F \r\n\r\n") << ok << hex("0B1F");
    QTest::newRow("line ends inside") << QByteArray("0B\r\n1F\n7F\r05") << ok << hex("0B1F7F05");
    QTest::newRow("tab between") << QByteArray("0B\t1F") << ok << hex("0B1F");
    QTest::newRow("lower case") << QByteArray("0b 1f") << ok << hex("0B1F");
    QTest::newRow("00 converts") << QByteArray("00") << ok << hex("00");
    QTest::newRow("empty") << QByteArray() << ok << QByteArray();
    QTest::newRow("blanks and line ends only") << QByteArray(" \r\n ") << ok << QByteArray();
    QTest::newRow("0B1 F") << QByteArray("0B1 F") << HexStatus::LengthFailure << QByteArray();
    QTest::newRow("last group too long") << QByteArray("01 1F1") << HexStatus::LengthFailure << QByteArray();
    QTest::newRow("01 04 05") << QByteArray("01 04 05") << HexStatus::ReservedValue << QByteArray();
    QTest::newRow("4 alone") << QByteArray("4") << HexStatus::ReservedValue << QByteArray();
    QTest::newRow("first fault wins") << QByteArray("04 0B1") << HexStatus::ReservedValue << QByteArray();
    QTest::newRow("non-hex group 1G") << QByteArray("01 1G") << HexStatus::NotHex << QByteArray();
    QTest::newRow("non-hex single G") << QByteArray("G") << HexStatus::NotHex << QByteArray();
    QTest::newRow("non-hex sign") << QByteArray("-1") << HexStatus::NotHex << QByteArray();
    QTest::newRow("length before letters") << QByteArray("XYZ") << HexStatus::LengthFailure << QByteArray();
}

void TestRawCodec::hexPairsToData()
{
    QFETCH(QByteArray, text);
    QFETCH(HexStatus, status);
    QFETCH(QByteArray, values);
    const HexConversion result = HexPairsToData(text);
    QCOMPARE(result.status, status);
    QCOMPARE(result.values, values);
}

void TestRawCodec::trackCodes_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<char>("formatCode");
    QTest::addColumn<char>("bitsDigit");
    QTest::addColumn<int>("bits");
    QTest::addColumn<char>("hexLimit");
    QTest::newRow("Std T1") << StdT1Item << '1' << '7' << 7 << '7';
    QTest::newRow("Std T2") << StdT2Item << '2' << '5' << 5 << '1';
    QTest::newRow("Std T3") << StdT3Item << '3' << '5' << 5 << '1';
    QTest::newRow("5 bits") << Raw5Item << char(0) << '5' << 5 << '1';
    QTest::newRow("6 bits") << Raw6Item << char(0) << '6' << 6 << '3';
    QTest::newRow("7 bits") << Raw7Item << char(0) << '7' << 7 << '7';
    QTest::newRow("empty") << QString() << char(0) << char(0) << 0 << char(0);
}

void TestRawCodec::trackCodes()
{
    QFETCH(QString, item);
    QFETCH(char, formatCode);
    QFETCH(char, bitsDigit);
    QFETCH(int, bits);
    QFETCH(char, hexLimit);
    QCOMPARE(FormatCode(item), formatCode);
    QCOMPARE(BitsDigit(item), bitsDigit);
    QCOMPARE(BitsPerCharacter(item), bits);
    QCOMPARE(HexLimitDigit(bits), hexLimit);
    for (int t = 1; t <= 3; ++t)
        QCOMPARE(int(TrackSelector(t, formatCode)), formatCode == '1' ? 0x10 + t : t);
}

void TestRawCodec::limitsAndLeadIn_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<Density>("density");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("leadIn");
    QTest::newRow("7 bits 210") << 7 << Density::Bpi210 << 76 << 15;
    QTest::newRow("7 bits 75") << 7 << Density::Bpi75 << 27 << 6;
    QTest::newRow("6 bits 210") << 6 << Density::Bpi210 << 88 << 15;
    QTest::newRow("6 bits 75") << 6 << Density::Bpi75 << 32 << 6;
    QTest::newRow("5 bits 210") << 5 << Density::Bpi210 << 106 << 15;
    QTest::newRow("5 bits 75") << 5 << Density::Bpi75 << 39 << 6;
    QTest::newRow("4 bits") << 4 << Density::Bpi210 << 0 << 15;
}

void TestRawCodec::limitsAndLeadIn()
{
    QFETCH(int, bits);
    QFETCH(Density, density);
    QFETCH(int, max);
    QFETCH(int, leadIn);
    QCOMPARE(MaxCharacters(bits, density), max);
    QCOMPARE(LeadInCount(density), leadIn);
    QCOMPARE(densityOf(densityItem(density)), density);
}

void TestRawCodec::hasData_data()
{
    QTest::addColumn<QByteArray>("track");
    QTest::addColumn<bool>("data");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("+") << QByteArray("+") << false;
    QTest::newRow("*") << QByteArray("*") << false;
    QTest::newRow("raw 2B") << hex("2B") << false;
    QTest::newRow("raw 2A") << hex("2A") << false;
    QTest::newRow("++") << QByteArray("++") << true;
    QTest::newRow("text") << QByteArray("AB") << true;
}

void TestRawCodec::hasData()
{
    QFETCH(QByteArray, track);
    QFETCH(bool, data);
    QCOMPARE(HasData(track), data);
}

void TestRawCodec::hkd382Read_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("defaults") << QStringList{StdT1Item, StdT2Item, StdT3Item} << hex("1B 52 11 02 03");
    QTest::newRow("T2 on 1, T1 on 2") << QStringList{StdT2Item, StdT1Item, StdT3Item} << hex("1B 52 01 12 03");
    QTest::newRow("T1 everywhere") << QStringList{StdT1Item, StdT1Item, StdT1Item} << hex("1B 52 11 12 13");
}

void TestRawCodec::hkd382Read()
{
    QFETCH(QStringList, items);
    QFETCH(QByteArray, bytes);
    Selection s;
    s.trackFormat = {items[0], items[1], items[2]};
    QCOMPARE(Hkd382ReadCommand(s), bytes);
}

void TestRawCodec::hkd382WriteBlock_data()
{
    QTest::addColumn<WriteJob>("job");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ABC on track 1")
        << job(true, track("ABC", StdT1Item), track("", StdT2Item), track("", StdT3Item))
        << hex("1B 57 1B 73 1B 11 41 42 43 1B 12 1B 13 3F 1C");
    QTest::newRow("AB on track 1")
        << job(true, track("AB", StdT1Item), track("", StdT2Item), track("", StdT3Item))
        << hex("1B 57 1B 73 1B 11 41 42 1B 12 1B 13 3F 1C");
    QTest::newRow("12 on track 2 only")
        << job(true, track("", StdT1Item), track("12", StdT2Item), track("", StdT3Item))
        << hex("1B 57 1B 73 1B 01 1B 02 31 32 1B 03 3F 1C");
    QTest::newRow("carry-over of the 7-bit code")
        << job(true, track("", StdT1Item), track("AB", StdT1Item), track("", StdT3Item))
        << hex("1B 57 1B 73 1B 01 1B 12 41 42 1B 13 3F 1C");
    QTest::newRow("no-data marks are not written")
        << job(true, track("+", StdT1Item), track("*", StdT2Item), track("1", StdT1Item))
        << hex("1B 57 1B 73 1B 01 1B 02 1B 13 31 3F 1C");
    QTest::newRow("three tracks")
        << job(true, track("A", StdT1Item), track("1", StdT3Item), track("2", StdT2Item))
        << hex("1B 57 1B 73 1B 11 41 1B 02 31 1B 03 32 3F 1C");
}

void TestRawCodec::hkd382WriteBlock()
{
    QFETCH(WriteJob, job);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Hkd382WriteBlock(job), bytes);
}

void TestRawCodec::densityBytes()
{
    const Densities d = {Density::Bpi75, Density::Bpi210, Density::Bpi75};
    QCOMPARE(Hkd382SetBpi(d), hex("1B 6A 4B D2 4B"));
    QCOMPARE(Hkd382SetBpiCodes(d), hex("1B 5A 16 3D 16"));
    QCOMPARE(Hkd382SetBpi(DefaultDensities), hex("1B 6A D2 4B D2"));
    QCOMPARE(Hkd382SetBpiCodes(DefaultDensities), hex("1B 5A 3D 16 3D"));
    QCOMPARE(Vnt290bSetBpi(1, Density::Bpi210), hex("3B 31 31"));
    QCOMPARE(Vnt290bSetBpi(2, Density::Bpi75), hex("3B 32 30"));
}

void TestRawCodec::vnt290bTrackCommands_data()
{
    QTest::addColumn<int>("trackNo");
    QTest::addColumn<bool>("standard");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("write");
    QTest::newRow("T1 own format") << 1 << true << StdT1Item << QByteArray("q1") << QByteArray("a1");
    QTest::newRow("T2 in T3 format") << 2 << true << StdT3Item << QByteArray("r3") << QByteArray("b3");
    QTest::newRow("T3 in T1 format") << 3 << true << StdT1Item << QByteArray("s1") << QByteArray("c1");
    QTest::newRow("T1 5 bits") << 1 << false << Raw5Item << QByteArray("U5") << QByteArray("E5");
    QTest::newRow("T2 6 bits") << 2 << false << Raw6Item << QByteArray("V6") << QByteArray("F6");
    QTest::newRow("T3 7 bits") << 3 << false << Raw7Item << QByteArray("W7") << QByteArray("G7");
}

void TestRawCodec::vnt290bTrackCommands()
{
    QFETCH(int, trackNo);
    QFETCH(bool, standard);
    QFETCH(QString, item);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, write);
    QCOMPARE(Vnt290bReadTrack(trackNo, standard, item), read);
    QCOMPARE(Vnt290bWriteTrack(trackNo, standard, item), write);
}

void TestRawCodec::vnt290bWriteSends_data()
{
    QTest::addColumn<WriteJob>("job");
    QTest::addColumn<QString>("sends");
    const QString six = QStringLiteral("|<00>!").repeated(6);
    const QString fifteen = QStringLiteral("|<00>!").repeated(15);
    QTest::newRow("standard track 1")
        << job(true, track("ABC", StdT1Item), track("", StdT2Item), track("", StdT3Item))
        << "a1|ABC<04>|@";
    QTest::newRow("standard tracks 2 and 3")
        << job(true, track("+", StdT1Item), track("12", StdT3Item), track("=", StdT1Item))
        << "b3|12<04>|c1|=<04>|@";
    QTest::newRow("custom 5 bits at 75 BPI")
        << job(false, track("\x01\x1F", Raw5Item, Density::Bpi75), track("", Raw5Item), track("", Raw5Item))
        << "E5" + six + "|<01><1f><04>|@";
    QTest::newRow("custom track 3 at 210 BPI")
        << job(false, track("", Raw5Item), track("", Raw6Item), track("\x01", Raw7Item, Density::Bpi210))
        << "G7" + fifteen + "|<01><04>|@";
    QTest::newRow("nothing to write") << job(false, track("", Raw5Item), track("", Raw5Item), track("", Raw5Item)) << "@";
}

void TestRawCodec::vnt290bWriteSends()
{
    QFETCH(WriteJob, job);
    QFETCH(QString, sends);
    QCOMPARE(describe(Vnt290bWriteSends(job)), sends);
}

QTEST_APPLESS_MAIN(TestRawCodec)
#include "tst_rawcodec.moc"
