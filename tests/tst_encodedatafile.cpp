// The encode data file as bytes: the records written, the whole-file check, the records taken
// back, reading and writing files, the collection of a save run and the proposed name.
#include "card/Validators.h"
#include "operation/EncodeDataFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace EncodeDataFile;
Q_DECLARE_METATYPE(EncodeDataFile::Record)

namespace {

Record rec(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3) { return Record{{t1, t2, t3}}; }

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Every record a taker gives, as "t1|t2|t3".
QByteArrayList takeAll(const QByteArray &content)
{
    QByteArrayList taken;
    RecordTaker taker(content);
    while (auto r = taker.next())
        taken << r->track[0] + '|' + r->track[1] + '|' + r->track[2];
    return taken;
}

} // namespace

class TestEncodeDataFile : public QObject {
    Q_OBJECT
private slots:
    void roundTrip();
    void wholeFileCheck_data();
    void wholeFileCheck();
    void collectionKeepsOnlyStorableCards_data();
    void collectionKeepsOnlyStorableCards();
    void cardNumberPasses32767();
    void proposedName_data();
    void proposedName();
};

void TestEncodeDataFile::roundTrip()
{
    const QList<Record> records = {
        rec("", "", ""),
        rec("+", "+", "+"),
        rec(" \"\\^_", "", "0123456789:;<=>"),
        rec("%B1234^DOE/JOHN^", "1234=5678", ""),
        rec(QByteArray(76, 'Z'), QByteArray(37, '9'), QByteArray(104, '1')),
    };
    const QByteArray expected = "||\r\n"
                                "+|+|+\r\n"
                                " \"\\^_||0123456789:;<=>\r\n"
                                "%B1234^DOE/JOHN^|1234=5678|\r\n"
        + QByteArray(76, 'Z') + '|' + QByteArray(37, '9') + '|' + QByteArray(104, '1') + "\r\n";

    SaveCollection collected;
    for (const Record &r : records)
        QVERIFY(collected.append(r));
    QCOMPARE(collected.text(), expected);
    QCOMPARE(collected.count(), 5);
    QCOMPARE(collected.cardNumber(), 6);

    QTemporaryDir dir;
    const QString path = dir.filePath("cards.txt");
    QCOMPARE(int(writeFile(path, collected.text(), false).status), int(WriteStatus::Written));
    QCOMPARE(fileBytes(path), expected);

    const Loaded loaded = ReadEncodeDataFile(path);
    QVERIFY2(loaded.ok(), qPrintable(loaded.problem));
    QCOMPARE(check(loaded.content).records, 5);
    RecordTaker taker(loaded.content);
    for (const Record &r : records) {
        const auto back = taker.next();
        QVERIFY(back);
        QCOMPARE(back->track, r.track);
    }
    QVERIFY(taker.atEnd());
    QVERIFY(!taker.next());
}

void TestEncodeDataFile::wholeFileCheck_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("problem"); // empty: accepted
    QTest::addColumn<QByteArrayList>("taken");

    const QString noRecord = QStringLiteral("The file holds no record.");
    auto separators = [](int record, int n) {
        return QStringLiteral("Record %1: %2 \"|\" where a record holds exactly two").arg(record).arg(n);
    };
    auto badChar = [](const QString &where, int track) {
        return where + QStringLiteral(": track %1 holds a character that track %1 cannot hold").arg(track);
    };

    QTest::newRow("one record") << QByteArray("A|1|2\r\n") << "" << QByteArrayList{"A|1|2"};
    QTest::newRow("no data anywhere") << QByteArray("||\r\n") << "" << QByteArrayList{"||"};
    QTest::newRow("+ fields and < admitted") << QByteArray("+|+|+\r\n<|<|<\r\n") << "" << QByteArrayList{"+|+|+", "<|<|<"};
    QTest::newRow("LF only") << QByteArray("A|1|2\nB|3|4\n") << "" << QByteArrayList{"A|1|2", "B|3|4"};
    QTest::newRow("last line without line end") << QByteArray("A|1|2\r\nB|3|4") << "" << QByteArrayList{"A|1|2", "B|3|4"};
    QTest::newRow("empty lines are no records") << QByteArray("\r\nA|1|2\r\n\r\n\nB|3|4\r\n\r\n") << ""
                                                << QByteArrayList{"A|1|2", "B|3|4"};
    QTest::newRow("longest fields") << QByteArray(76, 'A') + '|' + QByteArray(37, '1') + '|' + QByteArray(104, '2') << ""
                                    << QByteArrayList{QByteArray(76, 'A') + '|' + QByteArray(37, '1') + '|' + QByteArray(104, '2')};

    QTest::newRow("empty file") << QByteArray() << noRecord << QByteArrayList{};
    QTest::newRow("line ends only") << QByteArray("\r\n\n\r\n") << noRecord << QByteArrayList{};
    QTest::newRow("| alone") << QByteArray("|") << separators(1, 1) << QByteArrayList{};
    QTest::newRow("line not joined with the next") << QByteArray("ABC\r\n1|2|3\r\n") << separators(1, 0) << QByteArrayList{};
    QTest::newRow("three separators") << QByteArray("A|1|2\r\nA|1|2|3\r\n") << separators(2, 3) << QByteArrayList{"A|1|2"};
    QTest::newRow("bare CR is no line end") << QByteArray("A|1|2\rB|3|4\r\n") << separators(1, 4) << QByteArrayList{};
    QTest::newRow("bad later record") << QByteArray("A|1|2\r\nB|3|4\r\nC|A|5\r\n") << badChar("Record 3", 2)
                                      << QByteArrayList{"A|1|2", "B|3|4"};
    QTest::newRow("CR inside a field") << QByteArray("A\rB|1|2\r\n") << badChar("Record 1", 1) << QByteArrayList{};
    QTest::newRow("lower case in track 1") << QByteArray("A|1|2\r\na|1|2\r\n") << badChar("Record 2", 1) << QByteArrayList{"A|1|2"};
    QTest::newRow("? in track 1") << QByteArray("A?|1|2\r\n") << badChar("Record 1", 1) << QByteArrayList{};
    QTest::newRow("ESC in track 3") << QByteArray("A|1|2\x1b\r\n") << badChar("Record 1", 3) << QByteArrayList{};
    QTest::newRow("* in track 2") << QByteArray("A|*|2\r\n") << badChar("Record 1", 2) << QByteArrayList{};
    QTest::newRow("record and line counted apart") << QByteArray("\r\nA|1|2\r\n\r\nB|;|x\r\n")
                                                   << badChar("Record 2 (line 4)", 3) << QByteArrayList{"A|1|2"};
    QTest::newRow("over-long track 2")
        << QByteArray("A|") + QByteArray(38, '1') + "|2\r\n"
        << "Record 1: track 2 holds 38 characters, more than the 37 that track 2 can hold" << QByteArrayList{};
    QTest::newRow("over-long track 1")
        << QByteArray(77, 'A') + "||\r\n"
        << "Record 1: track 1 holds 77 characters, more than the 76 that track 1 can hold" << QByteArrayList{};
}

void TestEncodeDataFile::wholeFileCheck()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);
    QFETCH(QByteArrayList, taken);

    const Check checked = check(content);
    QCOMPARE(checked.problem, problem);
    QCOMPARE(checked.ok, problem.isEmpty());
    if (checked.ok) {
        QCOMPARE(checked.records, int(taken.size()));
        QCOMPARE(takeAll(content), taken);
        return;
    }
    // The taker gives the records before the fault, then tells the fault apart from the end.
    RecordTaker taker(content);
    Record r;
    for (const QByteArray &expected : taken) {
        QCOMPARE(int(taker.take(r)), int(RecordTaker::Status::Taken));
        QCOMPARE(r.track[0] + '|' + r.track[1] + '|' + r.track[2], expected);
    }
    const auto status = taker.take(r);
    if (problem.contains('"'))
        QCOMPARE(int(status), int(RecordTaker::Status::Malformed));
    else if (problem.startsWith("Record"))
        QCOMPARE(int(status), int(RecordTaker::Status::Taken)); // its fields are the check's to refuse
    else
        QCOMPARE(int(status), int(RecordTaker::Status::End));
}

void TestEncodeDataFile::collectionKeepsOnlyStorableCards_data()
{
    QTest::addColumn<Record>("card");
    QTest::addColumn<bool>("kept");
    QTest::newRow("good") << rec("A B", "123", "456") << true;
    QTest::newRow("no data") << rec("+", "+", "+") << true;
    QTest::newRow("unreadable track 3") << rec("A", "1", "*") << false;
    QTest::newRow("unreadable track 1") << rec("*", "1", "2") << false;
    QTest::newRow("| from line noise") << rec("A|B", "1", "2") << false;
    QTest::newRow("LF from line noise") << rec("A", "1\n", "2") << false;
    QTest::newRow("letter on track 2") << rec("A", "1A", "2") << false;
    QTest::newRow("too long") << rec("A", QByteArray(38, '1'), "2") << false;
}

void TestEncodeDataFile::collectionKeepsOnlyStorableCards()
{
    QFETCH(Record, card);
    QFETCH(bool, kept);
    SaveCollection collected;
    QVERIFY(collected.append(rec("X", "1", "2")));
    QCOMPARE(collected.append(card), kept);
    QCOMPARE(collected.count(), kept ? 2 : 1);
    QCOMPARE(collected.cardNumber(), kept ? 3 : 2);
    QVERIFY(check(collected.text()).ok);
}

void TestEncodeDataFile::cardNumberPasses32767()
{
    SaveCollection collected;
    for (int i = 0; i < 32768; ++i)
        QVERIFY(collected.append(rec("", "1", "")));
    QCOMPARE(collected.count(), 32768);
    QCOMPARE(collected.cardNumber(), 32769);
    QCOMPARE(check(collected.text()).records, 32768);
}

void TestEncodeDataFile::proposedName_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("name");
    // The same in every locale: digits and ".txt" (C.UTF-8 once gave "EDec 20262773").
    QTest::newRow("two-digit month") << QDate(2026, 12, 7) << 45296.55 << "E720264529.txt";
    QTest::newRow("two-digit day") << QDate(2026, 1, 25) << 45296.55 << "E520264529.txt";
    QTest::newRow("early morning") << QDate(2026, 12, 7) << 5.5 << "E720265.txt";
    QTest::newRow("whole second") << QDate(2026, 12, 7) << 61.0 << "E7202661.txt";
}

void TestEncodeDataFile::proposedName()
{
    QFETCH(QDate, date);
    QFETCH(double, seconds);
    QFETCH(QString, name);
    QCOMPARE(proposedSaveName(date, seconds), name);
}

QTEST_GUILESS_MAIN(TestEncodeDataFile)
#include "tst_encodedatafile.moc"
