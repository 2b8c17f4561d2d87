// The incremental series: the base record entry's refusals and rules, and the series window in
// both dialects: the card shown, its counter and prompt, its error windows and how it ends. The
// bytes and the cards a series writes are the headless suite's.
#include "Dialects.h"
#include "ModalAnswerer.h"
#include "SwipeFixture.h"
#include "app/OperationWindows.h"
#include "batch/cfrmRecEntry.h"
#include "batch/cfrmTrackSelect.h"
#include "batch/cfrmWriteIncr.h"
#include "iso/cfrmWriteCard.h"
#include "ui/main/frmMainMenu.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using Batch::IncrementSeries;
using Bytes = QList<QByteArray>;
using Fields = QMap<int, QString>; // base record field index -> text, as pasted
using End = cfrmWriteIncr::End;

namespace {

// Fills the base record entry and presses OK; the series when it was accepted.
std::optional<IncrementSeries> enter(int track, const Fields &fields)
{
    cfrmRecEntry entry(track);
    for (auto it = fields.begin(); it != fields.end(); ++it)
        entry.TIT[it.key()]->setText(it.value());
    entry.Command1_Click(1);
    return entry.result() == QDialog::Accepted ? std::optional(entry.series()) : std::nullopt;
}

// The tracks of each swiped card (standard characters; empty for nothing recorded).
QList<Bytes> cardsOf(const Simulator &sim)
{
    QList<Bytes> cards;
    for (const SimCard &c : sim.swipedCards())
        cards << Bytes{c.tracks[0].chars, c.tracks[1].chars, c.tracks[2].chars};
    return cards;
}
} // namespace

class IncrementalTest : public QObject {
    Q_OBJECT

private slots:
    // ---- The entry windows ----------------------------------------------------------------

    void trackSelection()
    {
        SwipeFixture f(DialectId::Hkd382);
        cfrmTrackSelect w;
        QCOMPARE(w.windowTitle(), QString("Incremental Encode - Track Selection"));
        QVERIFY(w.Option1[0]->isChecked());
        w.Option1[2]->setChecked(true);
        w.Command1[1]->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(w.IncrementTrack(), 3);
    }

    void enabledFieldsPerTrack_data()
    {
        QTest::addColumn<int>("track");
        QTest::addColumn<QList<int>>("enabled");
        QTest::newRow("track 1") << 1 << QList<int>{0, 1, 2, 3, 4, 5, 10};
        QTest::newRow("track 2") << 2 << QList<int>{0, 5, 6, 7, 8, 9, 10};
        QTest::newRow("track 3") << 3 << QList<int>{0, 5, 10, 11, 12, 13, 14};
    }
    void enabledFieldsPerTrack()
    {
        QFETCH(int, track);
        QFETCH(QList<int>, enabled);
        SwipeFixture f(DialectId::Hkd382);
        cfrmRecEntry w(track);
        for (int i = 0; i < 15; ++i) {
            QCOMPARE(w.TIT[i]->isEnabled(), enabled.contains(i));
            const QColor caption = w.LIT1[i]->palette().color(QPalette::WindowText);
            QCOMPARE(caption == QColor(128, 128, 128), !enabled.contains(i));
        }
        QCOMPARE(w.Label3[2]->text(), QString("  Track 3 Data (<= 104 Numerics)"));
        QCOMPARE(w.TIT[5]->maxLength(), 37);
    }

    // Keys typed into each group of fields: what stays and which message appears.
    void keyFilter_data()
    {
        QTest::addColumn<int>("track");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("title");
        QTest::newRow("T1 prefix capitals") << 1 << 0 << "ab1" << "AB1" << "";
        QTest::newRow("T1 prefix ?") << 1 << 0 << "A?" << "A" << " 7-Bit Character (Std T1) Format Error";
        QTest::newRow("T1 suffix <") << 1 << 4 << "<" << "" << " 7-Bit Character (Std T1) Format Error";
        QTest::newRow("T2 data <") << 1 << 5 << "1<" << "1" << " 5-Bit Character (Std T2/T3) Format Error";
        QTest::newRow("T3 suffix A") << 3 << 14 << "=A" << "=" << " 5-Bit Character (Std T2/T3) Format Error";
        QTest::newRow("T2 start minus") << 2 << 6 << "-5" << "5" << "Format Error";
        QTest::newRow("T1 count point") << 1 << 3 << "2.5" << "25" << "Format Error";
        QTest::newRow("T3 increment digits") << 3 << 12 << "0123" << "0123" << "";
    }
    void keyFilter()
    {
        QFETCH(int, track);
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, title);
        ModalAnswerer a;
        a.ignore("cfrmRecEntry");
        cfrmRecEntry w(track);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.TIT[field]->setFocus();
        QTest::keyClicks(w.TIT[field], typed);
        QCOMPARE(w.TIT[field]->text(), kept);
        QCOMPARE(a.seen().isEmpty(), title.isEmpty());
        if (!title.isEmpty()) {
            QCOMPARE(a.last().title, title);
            QCOMPARE(w.focusWidget(), w.TIT[field]);
        }
    }

    // What OK refuses (message, focus back, window stays) and what it accepts.
    void entryRefusals_data()
    {
        QTest::addColumn<int>("track");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("focus");
        const QString number = "Format Error", five = " 5-Bit Character (Std T2/T3) Format Error";
        QTest::newRow("start 2147483648") << 2 << Fields{{6, "2147483648"}} << number << 6;
        QTest::newRow("start 400012345678") << 2 << Fields{{6, "400012345678"}} << number << 6;
        QTest::newRow("count -5") << 2 << Fields{{6, "1"}, {8, "-5"}} << number << 8;
        QTest::newRow("increment -5") << 3 << Fields{{11, "1"}, {12, "-5"}} << number << 12;
        QTest::newRow("start 1e3") << 1 << Fields{{1, "1e3"}} << number << 1;
        QTest::newRow("start 2.5") << 2 << Fields{{6, "2.5"}} << number << 6;
        QTest::newRow("start &H10") << 2 << Fields{{6, "&H10"}} << number << 6;
        QTest::newRow("count blank") << 2 << Fields{{6, "1"}, {8, " 3"}} << number << 8;
        QTest::newRow("pasted prefix 12?4") << 2 << Fields{{5, "12?4"}, {6, "1"}} << five << 5;
        QTest::newRow("other track pasted A") << 2 << Fields{{10, "1A"}, {6, "1"}} << five << 10;
        QTest::newRow("T1 pasted lower ~") << 1 << Fields{{0, "a~"}} << " 7-Bit Character (Std T1) Format Error" << 0;
        // 35 + "100" = 38 > 37: the third card would be cut short.
        QTest::newRow("growth 98 to 100") << 2 << Fields{{5, QString(35, '1')}, {6, "98"}, {7, "1"}, {8, "3"}}
                                          << "Track Length Error" << 5;
        QTest::newRow("suffix too long") << 3 << Fields{{10, QString(100, '2')}, {11, "12345"}}
                                         << "Track Length Error" << 10;
        QTest::newRow("all empty: nothing") << 2 << Fields{} << "" << -1;
        // Accepted as described.
        QTest::newRow("35 + 99 fits") << 2 << Fields{{5, QString(35, '1')}, {6, "98"}, {7, "1"}, {8, "2"}} << "" << -2;
        QTest::newRow("pasted < passes") << 2 << Fields{{5, "1<"}} << "" << -2;
    }
    void entryRefusals()
    {
        QFETCH(int, track);
        QFETCH(Fields, fields);
        QFETCH(QString, title);
        QFETCH(int, focus);
        ModalAnswerer a;
        a.ignore("cfrmRecEntry");
        cfrmRecEntry w(track);
        for (auto it = fields.begin(); it != fields.end(); ++it)
            w.TIT[it.key()]->setText(it.value());
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.Command1_Click(1);
        QCOMPARE(w.result(), int(focus == -2 ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(w.isVisible(), focus != -2);
        QCOMPARE(a.count(), title.isEmpty() ? 0 : 1);
        if (!title.isEmpty()) {
            QCOMPARE(a.last().title, title);
            QCOMPARE(w.focusWidget(), w.TIT[focus]);
        }
    }

    // The values the series starts from.
    void seriesValues_data()
    {
        QTest::addColumn<int>("track");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<qint64>("number");
        QTest::addColumn<qint64>("step");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<Bytes>("card");
        QTest::newRow("007, count empty") << 1 << Fields{{0, "id-"}, {1, "007"}, {4, "x"}, {5, "55"}} << 7LL << 0LL
                                          << 1LL << Bytes{"ID-7X", "55", ""};
        QTest::newRow("start empty, count 0") << 3 << Fields{{10, "9"}, {13, "0"}} << 0LL << 0LL << 1LL
                                              << Bytes{"", "", "90"};
        QTest::newRow("largest values") << 2 << Fields{{6, "2147483647"}, {7, "2147483647"}, {8, "1"}}
                                        << 2147483647LL << 2147483647LL << 1LL << Bytes{"", "2147483647", ""};
    }
    void seriesValues()
    {
        QFETCH(int, track);
        QFETCH(Fields, fields);
        QFETCH(qint64, number);
        QFETCH(qint64, step);
        QFETCH(qint64, count);
        QFETCH(Bytes, card);
        SwipeFixture f(DialectId::Hkd382);
        const auto s = enter(track, fields);
        QVERIFY(s);
        QCOMPARE(s->CurrentNumber, number);
        QCOMPARE(s->IncrementStep, step);
        QCOMPARE(s->IncrementRemaining, count);
        const Iso::Tracks t = s->card();
        QCOMPARE((Bytes{t[0], t[1], t[2]}), card);
    }

    // ---- The series ------------------------------------------------------------------------

    // Three cards onto three blank cards; the prompt and the card counter per card.
    void seriesOntoBlankCards_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("track");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QList<Bytes>>("cards");
        const Fields f125{{0, "ABC"}, {5, "12"}, {6, "5"}, {7, "1"}, {8, "3"}};
        const QList<Bytes> c125{{"ABC", "125", ""}, {"ABC", "126", ""}, {"ABC", "127", ""}};
        const Fields f98{{6, "98"}, {7, "1"}, {8, "3"}};
        const QList<Bytes> c98{{"", "98", ""}, {"", "99", ""}, {"", "100", ""}};
        const Fields fWide{{11, "2147483646"}, {12, "1"}, {13, "3"}, {14, "="}};
        const QList<Bytes> cWide{{"", "", "2147483646="}, {"", "", "2147483647="}, {"", "", "2147483648="}};
        const Fields fSame{{0, "n"}, {1, "0"}, {3, "3"}, {10, "77"}};
        const QList<Bytes> cSame{{"N0", "", "77"}, {"N0", "", "77"}, {"N0", "", "77"}};
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s 125..127", d.name) << d.id << 2 << f125 << c125;
            QTest::addRow("%s 98..100", d.name) << d.id << 2 << f98 << c98;
            QTest::addRow("%s past 32 bits", d.name) << d.id << 3 << fWide << cWide;
            QTest::addRow("%s increment empty", d.name) << d.id << 1 << fSame << cSame;
        }
    }
    void seriesOntoBlankCards()
    {
        QFETCH(DialectId, dialect);
        QFETCH(int, track);
        QFETCH(Fields, fields);
        QFETCH(QList<Bytes>, cards);
        SwipeFixture f(dialect);
        const auto s = enter(track, fields);
        QVERIFY(s);
        f.sim.setStack(Simulator::blankStack(3));
        cfrmWriteIncr w(f.connection, *s, &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("Incremental Encode Prompt "));
        QStringList counters, prompts;
        QList<Bytes> inputs;
        for (double t : {2.0, 5.0, 8.0}) {
            f.at(t - 0.01, [&] {
                counters << w.LC->text();
                prompts << (w.Label1->isVisible() && w.Label2->isVisible() ? w.Label1->text() : QString());
                inputs << Bytes{f.records.texts[0], f.records.texts[1], f.records.texts[2]};
            });
            f.swipeAt(t);
        }
        f.run(w, 30.0);

        QVERIFY2(!f.timedOut, qPrintable(f.timeline()));
        QCOMPARE(w.end(), End::Completed);
        QCOMPARE(inputs, cards); // the main window showed each card
        QCOMPARE(counters, (QStringList{"1", "2", "3"}));
        const QString prompt = "You are writing card #                 of  3. Please swipe a card.";
        QCOMPARE(prompts, (QStringList{prompt, prompt, prompt}));
        QVERIFY(f.shown.isEmpty());
        QCOMPARE(f.records.output(), cards.last());
        QCOMPARE(f.records.message(), QString());
    }

    // A failed second card: the error window with the incremental title, then the same number
    // on the next card; a later write window has its own title again.
    void failedCardRetriedWithSameNumber_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    void failedCardRetriedWithSameNumber()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        const auto s = enter(2, {{0, "ABC"}, {5, "12"}, {6, "5"}, {7, "1"}, {8, "2"}});
        QVERIFY(s);
        f.sim.setStack(Simulator::blankStack(3));
        cfrmWriteIncr w(f.connection, *s, &f.records, &f.records);
        QStringList counters;
        f.swipeAt(2.0);
        f.at(4.0, [&] { f.sim.setNextSwipeBad(); });
        f.swipeAt(5.0);
        f.at(9.99, [&] { counters << w.LC->text(); });
        f.swipeAt(10.0);
        f.run(w, 30.0);

        QVERIFY(!f.timedOut);
        QCOMPARE(w.end(), End::Completed);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Incremental Encode Write Error"));
        QCOMPARE(f.shown[0].text, QString("Write error!  Please try again."));
        QCOMPARE(counters, QStringList{"2"});

        cfrmWriteCard later(f.connection, f.records.inputTracks(), &f.records, &f.records);
        QCOMPARE(later.writeErrorTitle(), QString("Write Swipe Error"));
    }

    // How a series ends short of its count, and whether the completion window follows.
    void seriesEndsEarly_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("fault"); // "cancel", "refuse B", "refuse (", "attention"
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("shownTitle");
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s cancel in 2nd wait", d.name) << d.id << "cancel" << int(End::Cancelled) << "";
        QTest::newRow("VNT-290B track refused") << DialectId::Vnt290b << "refuse B" << int(End::Refused)
                                                << "Incremental Encode Write Error";
        QTest::newRow("VNT-290B arming refused") << DialectId::Vnt290b << "refuse (" << int(End::StartFailed)
                                                 << "Read Swipe Error";
        QTest::newRow("VNT-290B attention answered !") << DialectId::Vnt290b << "attention" << int(End::StartFailed)
                                                       << "Incremental Encode Write Error";
    }
    void seriesEndsEarly()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QString, fault);
        QFETCH(int, end);
        QFETCH(QString, shownTitle);
        SwipeFixture f(dialect);
        const auto s = enter(2, {{6, "5"}, {7, "1"}, {8, "3"}});
        QVERIFY(s);
        f.sim.setStack(Simulator::blankStack(3));
        if (fault == "refuse B")
            f.sim.setCommandFault("B", Simulator::Fault::Refuse);
        if (fault == "refuse (")
            f.sim.setCommandFault("(", Simulator::Fault::Refuse);
        if (fault == "attention")
            f.sim.setNextReply("!");
        cfrmWriteIncr w(f.connection, *s, &f.records, &f.records);
        f.swipeAt(2.0);
        f.clickAt(fault == "cancel" ? 4.0 : 20.0, &w);
        f.run(w, 30.0);

        QCOMPARE(int(w.end()), end);
        QCOMPARE(f.shown.size(), shownTitle.isEmpty() ? 0 : 1);
        if (!shownTitle.isEmpty())
            QCOMPARE(f.shown[0].title, shownTitle);
    }

    // The main window's chain: each step only after the one before was confirmed; the
    // completion window only after a series that completed or was cancelled.
    void mainWindowChain_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("stop"); // where the operator or the encoder ends it
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("cards");
        const QString sel = "Incremental Encode - Track Selection", rec = "Incremental Encode - Base Record Entry",
                      done = "Incremental Encode Complete", err = "Incremental Encode Write Error";
        for (const DialectEntry &d : kDialects)
            QTest::addRow("%s complete", d.name) << d.id << "" << QStringList{sel, rec, done} << 2;
        QTest::newRow("selection cancelled") << DialectId::Hkd382 << "selection" << QStringList{sel} << 0;
        QTest::newRow("entry cancelled") << DialectId::Hkd382 << "entry" << QStringList{sel, rec} << 0;
        QTest::newRow("VNT-290B refused write") << DialectId::Vnt290b << "refuse" << QStringList{sel, rec, err} << 0;
    }
    void mainWindowChain()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QString, stop);
        QFETCH(QStringList, titles);
        QFETCH(int, cards);
        SwipeFixture f(dialect);
        frmMainMenu main(f.connection);
        installOperationWindows(main);
        main.show();
        main.setTrackText(3, "KEEP");
        f.sim.setStack(Simulator::blankStack(3));
        if (stop == "refuse")
            f.sim.setCommandFault("C", Simulator::Fault::Refuse);
        f.setAnswer([&](QDialog *d) {
            if (auto *sel = qobject_cast<cfrmTrackSelect *>(d)) {
                sel->Option1[2]->setChecked(true);
                sel->Command1_Click(stop == "selection" ? 0 : 1);
            } else if (auto *entry = qobject_cast<cfrmRecEntry *>(d)) {
                entry->TIT[0]->setText("T1");
                entry->TIT[11]->setText("41");
                entry->TIT[12]->setText("1");
                entry->TIT[13]->setText("2");
                entry->Command1_Click(stop == "entry" ? 0 : 1);
            } else {
                d->accept();
            }
        });
        f.swipeAt(2.0);
        f.swipeAt(5.0);
        main.Command1_Click(5);

        QStringList seen;
        for (const auto &s : f.shown)
            seen << s.title;
        QCOMPARE(seen, titles);
        // A step not confirmed ends the chain before the series window.
        QCOMPARE(f.hiddenAt >= 0, stop != "selection" && stop != "entry");
        QCOMPARE(f.sim.swipedCards().size(), cards);
        if (cards)
            QCOMPARE(cardsOf(f.sim), (QList<Bytes>{{"T1", "", "41"}, {"T1", "", "42"}}));
        // A cancelled step leaves the output record; a run chain clears both records.
        QCOMPARE(main.trackText(3), QByteArray(stop == "selection" || stop == "entry" ? "KEEP" : ""));
        QCOMPARE(main.trackText(0), QByteArray());
    }
};

QTEST_MAIN(IncrementalTest)
#include "tst_incremental.moc"
