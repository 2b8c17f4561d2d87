// The non-ISO read and write swipe windows end to end against the simulated encoder: what was
// written reads back only in its own format, long tracks survive a slow line, and a failed,
// refused or cancelled attempt leaves the card count and the encoder as they should be.
#include "Dialects.h"
#include "SwipeFixture.h"
#include "card/NonIsoFormat.h"
#include "noniso/nfrmReadCard.h"
#include "noniso/nfrmReadStdFmt.h"
#include "noniso/nfrmSwipeWrite.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(SimTrack)

using namespace NonIso;
using Bytes = QList<QByteArray>;

namespace {
QByteArray hex(const char *text) { return SwipeFixture::hex(text); }

// `n` raw values below 2^bits, first one odd, never 04.
QByteArray rawValues(int n, int bits)
{
    QByteArray out;
    for (int i = 0; out.size() < n; ++i) {
        const int v = 1 + (i * 5) % ((1 << bits) - 1);
        if (v != 4)
            out.append(char(v));
    }
    return out;
}

WriteJob oneTrack(bool standard, int track, const QString &item, Density density, const QByteArray &data)
{
    WriteJob job;
    job.standardFormat = standard;
    for (int t = 0; t < 3; ++t)
        job.tracks[size_t(t)] = {QByteArray(), standard ? standardItems().at(t) : Raw5Item, DefaultDensities[size_t(t)]};
    job.tracks[size_t(track - 1)] = {data, item, density};
    return job;
}

Selection select(bool standard, int track, const QString &item)
{
    Selection s;
    s.standardFormat = standard;
    if (!standard)
        s.trackFormat = {Raw5Item, Raw5Item, Raw5Item};
    s.trackFormat[size_t(track - 1)] = item;
    return s;
}

QString hexText(const QByteArray &values)
{
    QString s;
    for (char c : values)
        s += QString::asprintf("%02X ", uchar(c));
    return s;
}

// What one result window showed.
struct Result {
    QString title;
    QStringList texts, counts;
};
} // namespace

class NonIsoWindowsTest : public QObject {
    Q_OBJECT

    // The operator answers every window with its only button; result windows are noted first.
    static void noteResults(SwipeFixture &f, QList<Result> &results, QStringList *counters = nullptr,
                            QWidget *counted = nullptr)
    {
        f.setAnswer([&results, counters, counted](QDialog *d) {
            if (auto *r = qobject_cast<nfrmReadStdFmt *>(d)) {
                Result res{r->windowTitle(), {}, {}};
                for (int i = 0; i < 3; ++i) {
                    res.texts << r->TIT[i]->toPlainText();
                    res.counts << r->LT[i]->text();
                }
                results << res;
                r->Command1->click();
                return;
            }
            if (counters && counted)
                *counters << counted->findChild<QLabel *>("LC")->text();
            d->findChild<QPushButton *>()->click();
        });
    }

    // One read swipe in `selection`; the result window's content, if one came.
    static QList<Result> readOnce(SwipeFixture &f, const Selection &selection)
    {
        QList<Result> results;
        noteResults(f, results);
        const double t = f.vp.now();
        nfrmReadCard r(f.connection, selection);
        f.swipeAt(t + 1.5);
        f.clickAt(t + 5.0, &r);
        f.run(r, t + 600);
        return results;
    }

private slots:
    void windowControls()
    {
        SwipeFixture f(DialectId::Vnt290b);
        nfrmReadCard r(f.connection, Selection{});
        QCOMPARE(r.windowTitle(), QString("Non-ISO Read Swipe Prompt"));
        QCOMPARE(r.findChild<QLabel *>("Label1")->text(), QString("You are reading card #") + QString(18, ' ') + ".");
        nfrmSwipeWrite w(f.connection, WriteJob{});
        QCOMPARE(w.windowTitle(), QString("Non-ISO Write Swipe Prompt"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("You are writing card #") + QString(19, ' ') + ".");
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("0"));
    }

    // Written, then read back in the same format and in another one.
    void roundTrip_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("density");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("otherItem");
        QTest::addColumn<QString>("otherShown");

        const QByteArray raw7 = rawValues(76, 7), raw5 = rawValues(39, 5);
        QTest::newRow("VNT-290B custom 7-bit 210 BPI, 76 values")
            << DialectId::Vnt290b << false << Raw7Item << int(Density::Bpi210) << raw7 << 7
            << QString() << Raw5Item << "";
        QTest::newRow("VNT-290B custom 5-bit 75 BPI") << DialectId::Vnt290b << false << Raw5Item << int(Density::Bpi75)
                                                      << raw5 << 5 << QString() << Raw7Item << "";
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s standard 5-bit on track 1", d.name) << d.id << true << StdT2Item << int(Density::Bpi210)
                                                                  << QByteArray("1234567890") << 5 << "1234567890"
                                                                  << StdT1Item << "*";
    }
    void roundTrip()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, standard);
        QFETCH(QString, item);
        QFETCH(int, density);
        QFETCH(QByteArray, data);
        QFETCH(int, bits);
        QFETCH(QString, shown);
        QFETCH(QString, otherItem);
        QFETCH(QString, otherShown);
        SwipeFixture f(dialect);
        const auto d = Density(density);
        nfrmSwipeWrite w(f.connection, oneTrack(standard, 1, item, d, data));
        QStringList status; // the prompt's line, as it changes while the window is up
        for (double t = 0.5; t < 6.0; t += 0.05)
            f.at(t, [&] {
                const QString now = (w.Label2->isVisible() ? w.Label2->text() : QString()) + '|' +
                                    (w.Label3->isVisible() ? w.Label3->text() : QString());
                if (status.isEmpty() || status.last() != now)
                    status << now;
            });
        f.swipeAt(2.0);
        f.clickAt(6.0, &w);
        f.run(w);
        QVERIFY(!f.timedOut);
        QVERIFY2(f.shown.isEmpty(), qPrintable(f.timeline()));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("2"));
        // The good card says so on its own line, still there at the next prompt.
        QCOMPARE(status.mid(0, 4), (QStringList{"|", "Please swipe a card.|", "|Card 1 written.", "Please swipe a card.|Card 1 written."}));
        const SimTrack &card = f.sim.cardInSlot().tracks[0];
        QCOMPARE(card.chars, data);
        QCOMPARE(card.bitsPerChar, bits);
        QCOMPARE(card.high210, d == Density::Bpi210);
        QCOMPARE(card.raw, !standard);

        // The same format shows exactly what was written.
        const QString expected = standard ? shown : hexText(data);
        QList<Result> same = readOnce(f, select(standard, 1, item));
        QCOMPARE(same.size(), 1);
        QCOMPARE(same[0].texts[0], expected);
        QCOMPARE(same[0].counts[0], QString::number(data.size()));
        QCOMPARE(same[0].title, standard ? QString("Non-ISO Read: Standard Format on Non-Standard Track (ASCII)")
                                         : QString("Non-ISO Read: Custom Data Format (Hex)"));

        // Another format: the track does not read as what was written.
        QList<Result> other = readOnce(f, select(standard, 1, otherItem));
        QCOMPARE(other.size(), 1);
        QVERIFY(other[0].texts[0] != expected);
        if (standard) {
            QCOMPARE(other[0].texts[0], otherShown);
            QCOMPARE(other[0].counts[0], QString("0"));
        }
    }

    // At 2400 baud the fixed waits end before a long track has arrived.
    void slowLine_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QList<SimTrack>>("card");
        QTest::addColumn<QStringList>("texts");
        const QByteArray raw = rawValues(106, 5);
        const QString rawText = hexText(raw);
        QTest::newRow("VNT-290B custom 106 values")
            << DialectId::Vnt290b << false << QList<SimTrack>{{raw, 5, true, false, true}, {}, {}}
            << QStringList{rawText, "", ""};
        const QByteArray t1 = QByteArray(76, 'A'), t2 = QByteArray(106, '7'), t3 = QByteArray(106, '3');
        QTest::newRow("HKD382 three tracks") << DialectId::Hkd382 << true
                                             << QList<SimTrack>{{t1, 7, true, false, false},
                                                                {t2, 5, true, false, false},
                                                                {t3, 5, true, false, false}}
                                             << QStringList{t1, t2, t3};
    }
    void slowLine()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, standard);
        QFETCH(QList<SimTrack>, card);
        QFETCH(QStringList, texts);
        SwipeFixture f(dialect);
        f.setLine("2400,n,8,1");
        SimCard c;
        c.name = "long";
        for (int i = 0; i < 3; ++i)
            c.tracks[size_t(i)] = card[i];
        f.sim.insertCard(c);
        QList<Result> results = readOnce(f, standard ? Selection{} : select(false, 1, Raw5Item));
        QCOMPARE(results.size(), 1);
        QCOMPARE(results[0].texts, texts);
        QVERIFY2(f.shown.size() == 1, qPrintable(f.timeline())); // the result window only
    }

    // HKD382: a density command that gets no answer at all: nothing is written, one error window
    // and the window closes (its waits serve no events, so Cancel could never be reached).
    void densityNotAnswered_data()
    {
        QTest::addColumn<QByteArray>("ignored");
        QTest::newRow("SetBpi") << hex("1B 6A");
        QTest::newRow("SetBpiCodes") << hex("1B 5A");
    }
    void densityNotAnswered()
    {
        QFETCH(QByteArray, ignored);
        SwipeFixture f(DialectId::Hkd382);
        f.sim.setCommandFault(ignored, Simulator::Fault::Ignore);
        nfrmSwipeWrite w(f.connection, oneTrack(true, 1, StdT1Item, Density::Bpi75, "AB"));
        f.run(w, 60);
        QVERIFY2(!f.timedOut, qPrintable(f.timeline()));
        QCOMPARE(f.shown.size(), 1);
        for (const QByteArray &b : f.writes())
            QVERIFY2(!b.startsWith(hex("1B 57")), qPrintable(f.timeline()));
        QVERIFY(!f.shown.isEmpty());
        QCOMPARE(f.shown[0].title, sfrmWriteErr::kNonIsoTitle);
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QVERIFY(f.sim.cardInSlot().tracks[0].chars != "AB");
    }

    // A bad swipe: the error window, the count kept, the same data on the next card.
    void failedSwipe_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("sent"); // what carries the data to the encoder
        QTest::newRow("HKD382") << DialectId::Hkd382 << true << QByteArray("AB")
                                << hex("1B 57 1B 73 1B 11 41 42 1B 12 1B 13 3F 1C");
        QTest::newRow("VNT-290B standard") << DialectId::Vnt290b << true << QByteArray("AB") << QByteArray("AB\x04");
        QTest::newRow("VNT-290B custom") << DialectId::Vnt290b << false << hex("01 1F") << hex("01 1F 04");
    }
    void failedSwipe()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, standard);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, sent);
        SwipeFixture f(dialect);
        nfrmSwipeWrite w(f.connection, oneTrack(standard, 1, standard ? StdT1Item : Raw5Item, Density::Bpi75, data));
        QList<Result> none;
        QStringList counters;
        noteResults(f, none, &counters, &w);
        f.at(1.0, [&] { f.sim.setNextSwipeBad(); });
        f.swipeAt(2.0);
        f.swipeAt(5.0);
        f.clickAt(8.0, &w);
        f.run(w);
        QVERIFY(!f.timedOut);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, sfrmWriteErr::kNonIsoTitle);
        QCOMPARE(counters, QStringList{"1"});
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("2"));
        QVERIFY2(f.writes().count(sent) >= 2, qPrintable(f.timeline()));
        QCOMPARE(f.sim.cardInSlot().tracks[0].chars, data);
    }

    // Cancel while the encoder waits for the swipe: no error window; the window's last bytes.
    void cancelWhileWaiting_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("read");
        QTest::addColumn<Bytes>("tail");
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s read", d.name)
                << d.id << true
                << perDialect(d.id, Bytes{hex("1B 52 11 02 03"), hex("1B 61"), hex("1B 81"), hex("1B 83")},
                              Bytes{"P", hex("7F")});
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s write", d.name)
                << d.id << false
                << perDialect(d.id, Bytes{hex("1B 57 1B 73 1B 11 41 42 1B 12 1B 13 3F 1C"), hex("1B 61")},
                              Bytes{"AB\x04", "@", hex("7F")});
    }
    void cancelWhileWaiting()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, read);
        QFETCH(Bytes, tail);
        SwipeFixture f(dialect);
        std::unique_ptr<QDialog> w;
        if (read)
            w = std::make_unique<nfrmReadCard>(f.connection, Selection{});
        else
            w = std::make_unique<nfrmSwipeWrite>(f.connection, oneTrack(true, 1, StdT1Item, Density::Bpi210, "AB"));
        f.clickAt(3.0, w.get());
        f.run(*w);
        QVERIFY(!f.timedOut);
        QVERIFY(f.shown.isEmpty());
        const Bytes writes = f.writes();
        QVERIFY2(writes.size() >= tail.size(), qPrintable(f.timeline()));
        QCOMPARE(writes.mid(writes.size() - tail.size()), tail);
        QVERIFY(!f.sim.awaitingSwipe());
    }

    // The custom format where the encoder has none: one error window, then the window closes.
    void customFormatWithoutIt_data()
    {
        QTest::addColumn<bool>("read");
        QTest::newRow("read") << true;
        QTest::newRow("write") << false;
    }
    void customFormatWithoutIt()
    {
        QFETCH(bool, read);
        SwipeFixture f(DialectId::Hkd382);
        std::unique_ptr<QDialog> w;
        if (read)
            w = std::make_unique<nfrmReadCard>(f.connection, select(false, 1, Raw5Item));
        else
            w = std::make_unique<nfrmSwipeWrite>(f.connection, oneTrack(false, 1, Raw5Item, Density::Bpi75, hex("01 1F")));
        f.run(*w, 60);
        QVERIFY(!f.timedOut);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, read ? sfrmReadErr::kNonIsoTitle : sfrmWriteErr::kNonIsoTitle);
        for (const QByteArray &b : f.writes())
            QVERIFY(!b.startsWith(hex("1B 52")) && !b.startsWith(hex("1B 57")));
    }
};

QTEST_MAIN(NonIsoWindowsTest)
#include "tst_nonisowindows.moc"
