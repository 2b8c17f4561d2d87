// The non-ISO read and write swipe windows end to end against the simulated encoder: what was
// written shows read back only in its own format, and a failed or refused attempt gives the card
// count and the windows it should. The bytes and the cards are the headless suite's; Cancel in
// the swipe wait is the swipe window contract's.
#include "Dialects.h"
#include "NonIsoJobs.h"
#include "SwipeFixture.h"
#include "noniso/nfrmReadCard.h"
#include "noniso/nfrmReadStdFmt.h"
#include "noniso/nfrmSwipeWrite.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace NonIso;
namespace {
QByteArray hex(const char *text) { return SwipeFixture::hex(text); }

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
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("otherItem");
        QTest::addColumn<QString>("otherShown");

        const QByteArray raw7 = rawValues(76, 7), raw5 = rawValues(39, 5);
        QTest::newRow("VNT-290B custom 7-bit 210 BPI, 76 values")
            << DialectId::Vnt290b << false << Raw7Item << int(Density::Bpi210) << raw7 << QString() << Raw5Item << "";
        QTest::newRow("VNT-290B custom 5-bit 75 BPI") << DialectId::Vnt290b << false << Raw5Item << int(Density::Bpi75)
                                                      << raw5 << QString() << Raw7Item << "";
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s standard 5-bit on track 1", d.name) << d.id << true << StdT2Item << int(Density::Bpi210)
                                                                  << QByteArray("1234567890") << "1234567890"
                                                                  << StdT1Item << "*";
    }
    void roundTrip()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, standard);
        QFETCH(QString, item);
        QFETCH(int, density);
        QFETCH(QByteArray, data);
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

    // A bad swipe: the error window, the count kept, the same data on the next card.
    void failedSwipe_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("HKD382") << DialectId::Hkd382 << true << QByteArray("AB");
        QTest::newRow("VNT-290B standard") << DialectId::Vnt290b << true << QByteArray("AB");
        QTest::newRow("VNT-290B custom") << DialectId::Vnt290b << false << hex("01 1F");
    }
    void failedSwipe()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, standard);
        QFETCH(QByteArray, data);
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
    }

    // HKD382: a density command that gets no answer at all (its waits serve no events, so Cancel
    // could never be reached), or the custom format it has none of: one error window, and the
    // window closes by itself.
    void endsAtOnce_data()
    {
        QTest::addColumn<QByteArray>("ignored");
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("custom");
        QTest::newRow("SetBpi not answered") << hex("1B 6A") << false << false;
        QTest::newRow("SetBpiCodes not answered") << hex("1B 5A") << false << false;
        QTest::newRow("custom read") << QByteArray() << true << true;
        QTest::newRow("custom write") << QByteArray() << false << true;
    }
    void endsAtOnce()
    {
        QFETCH(QByteArray, ignored);
        QFETCH(bool, read);
        QFETCH(bool, custom);
        SwipeFixture f(DialectId::Hkd382);
        if (!ignored.isEmpty())
            f.sim.setCommandFault(ignored, Simulator::Fault::Ignore);
        std::unique_ptr<QDialog> w;
        if (read)
            w = std::make_unique<nfrmReadCard>(f.connection, select(false, 1, Raw5Item));
        else
            w = std::make_unique<nfrmSwipeWrite>(f.connection, custom ? oneTrack(false, 1, Raw5Item, Density::Bpi75, hex("01 1F"))
                                                                      : oneTrack(true, 1, StdT1Item, Density::Bpi75, "AB"));
        f.run(*w, 60);
        QVERIFY2(!f.timedOut, qPrintable(f.timeline()));
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, read ? sfrmReadErr::kNonIsoTitle : sfrmWriteErr::kNonIsoTitle);
        if (!read)
            QCOMPARE(w->findChild<QLabel *>("LC")->text(), QString("1"));
    }
};

QTEST_MAIN(NonIsoWindowsTest)
#include "tst_nonisowindows.moc"
