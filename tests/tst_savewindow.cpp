// The save-to-file window end to end against the simulated encoder and its stack of cards, in
// both dialects: which reads become records, the card number, and what the operator sees.
#include "Dialects.h"
#include "SwipeFixture.h"
#include "batch/cfrmEncodeWF.h"

#include <QLabel>
#include <QtTest>

Q_DECLARE_METATYPE(EncodeDataFile::Record)
Q_DECLARE_METATYPE(SimCard)

using Record = EncodeDataFile::Record;
using Records = QList<Record>;
using Bytes = QList<QByteArray>;

namespace {
const QByteArray kAnnaT1 = "B4000123456789010^SAMPLE/ANNA^30121010000000000000";
const QByteArray kAnnaT2 = "4000123456789010=30121010000000000";
const QByteArray kAnnaT3 = "0140001234567890=7247";
const Record kAnna{{kAnnaT1, kAnnaT2, kAnnaT3}};
const Record kBen{{"B5500987654321098^TESTER/BEN^29081010000000000000", "5500987654321098=29081010000000000", "+"}};
const Record kAccess{{"+", "8024701001=3012", "+"}};

SimCard damaged()
{
    SimCard c = Simulator::sampleStack()[2];
    c.tracks[2].chars = "123";
    c.tracks[2].unreadable = true;
    return c;
}

// HKD382's read reply for a card whose track 1 came back holding "|" (line noise).
const QByteArray kHkdBarReply = QByteArray("\x1bs\x1b\x01%AB|C?\x1b\x02;123?\x1b\x03;456??\x1c\x1b") + '0';

Records collected(const QByteArray &text)
{
    Records out;
    EncodeDataFile::RecordTaker taker(text);
    while (const auto r = taker.next())
        out << *r;
    return out;
}
} // namespace

class SaveWindowTest : public QObject {
    Q_OBJECT

private slots:
    void windowControls()
    {
        SwipeFixture f(DialectId::Hkd382);
        cfrmEncodeWF w(f.connection, &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("File Save Prompt"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("Your are saving card #               ."));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QCOMPARE(w.findChild<QLabel *>("Label2")->text(), QString("Please swipe a card."));
    }

    // A stack swiped card by card (3 s apart), then Cancel: only sound reads become records, in
    // swipe order; a failed read keeps the card number for the next card.
    void collection_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QList<SimCard>>("stack");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Records>("expected");
        QTest::addColumn<QStringList>("numbers"); // LC just before each swipe
        QTest::addColumn<int>("readErrors");
        QTest::addColumn<Bytes>("shownAtError"); // the output record under the first read error window
        const QList<SimCard> samples = Simulator::sampleStack();
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s two cards", d.name) << d.id << samples.mid(0, 2) << QString() << Records{kAnna, kBen}
                                                  << QStringList{"1", "2"} << 0 << Bytes{};
            QTest::addRow("%s unreadable card between two", d.name)
                << d.id << QList<SimCard>{samples[0], damaged(), samples[2]} << QString() << Records{kAnna, kAccess}
                << QStringList{"1", "2", "2"} << 1 << Bytes{"+", "8024701001=3012", "*"};
            QTest::addRow("%s bar in track 1 between two", d.name)
                << d.id << samples.mid(0, 3) << QString("bar") << Records{kAnna, kAccess} << QStringList{"1", "2", "2"} << 1
                << perDialect(d.id, Bytes{"AB|C", "123", "456"}, Bytes{"AB|C", kBen.track[1], "+"});
            QTest::addRow("%s cancel before the first swipe", d.name) << d.id << samples << QString() << Records{}
                                                                      << QStringList{} << 0 << Bytes{};
        }
        // A track that got no answer at all is a failed read, not a track without data.
        QTest::addRow("VNT-290B track 3 unanswered") << DialectId::Vnt290b << samples.mid(0, 1) << QString("silent S") << Records{}
                                                     << QStringList{"1"} << 1 << Bytes{kAnnaT1, kAnnaT2, "*"};
    }
    void collection()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QList<SimCard>, stack);
        QFETCH(QString, fault);
        QFETCH(Records, expected);
        QFETCH(QStringList, numbers);
        QFETCH(int, readErrors);
        QFETCH(Bytes, shownAtError);
        SwipeFixture f(dialect);
        f.sim.setStack(stack);
        if (fault == "silent S")
            f.sim.setCommandFault("S", Simulator::Fault::Ignore);
        cfrmEncodeWF w(f.connection, &f.records, &f.records);
        auto *lc = w.findChild<QLabel *>("LC");
        QStringList seen;
        for (int i = 0; i < numbers.size(); ++i) {
            const double t = 1.5 + 3.0 * i;
            f.at(t - 0.01, [&] { seen << lc->text(); });
            f.at(t, [&, i] {
                // The second card's reply is replaced by one holding "|" in track 1.
                if (fault == "bar" && i == 1 && dialect == DialectId::Hkd382)
                    f.sim.setNextReply(kHkdBarReply);
                f.sim.swipe();
                if (fault == "bar" && i == 1 && dialect == DialectId::Vnt290b)
                    f.sim.setNextReply("AB|C"); // the answer to "Q"
            });
        }
        f.clickAt(1.5 + 3.0 * numbers.size(), &w);
        Bytes atError;
        QString messageAtError;
        f.setAnswer([&](QDialog *d) {
            if (atError.isEmpty()) {
                atError = f.records.output();
                messageAtError = f.records.message();
            }
            d->accept();
        });
        f.run(w);

        QVERIFY(!f.timedOut);
        QCOMPARE(seen, numbers);
        QCOMPARE(collected(w.collection().text()), expected);
        QCOMPARE(w.collection().count(), int(expected.size()));
        QCOMPARE(w.SaveCardNumber(), int(expected.size()) + 1);
        QCOMPARE(f.shown.size(), readErrors);
        for (const auto &s : f.shown) {
            QCOMPARE(s.title, QString("Read Swipe Error"));
            QCOMPARE(s.text, QString("Read error!  Please try again."));
        }
        QCOMPARE(atError, shownAtError);
        QCOMPARE(messageAtError, QString());
        if (numbers.isEmpty())
            QVERIFY(w.collection().isEmpty());
        QCOMPARE(f.records.message(), QString());
        QVERIFY(!w.operation().device().isOpen());
    }
};

QTEST_MAIN(SaveWindowTest)
#include "tst_savewindow.moc"
