// Whole operations with no widget at all: a QCoreApplication, the operation layer, the simulated
// encoder and a scripted operator, in every dialect. This suite links no Gui or Widgets module.
#include "HeadlessBench.h"
#include "ScriptedOperator.h"
#include "dialect/Commands.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

namespace {
Bytes eraseCommand(DialectId d, int mask)
{
    Bytes vnt;
    for (int t = 1; t <= 3; ++t)
        if (mask & (1 << (t - 1)))
            vnt << Cmd::Vnt::EraseTrack[size_t(t)];
    vnt << "]";
    return perDialect(d, Bytes{Cmd::Hkd::eraseTracks(mask)}, vnt);
}
} // namespace

class HeadlessTest : public QObject {
    Q_OBJECT

private slots:
    void readThenCancel_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Bytes>("expected");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id
                                  << perDialect(d.id, Bytes{kReset, kSwipe, kRead, kRead, kReset, kOff, kIdle},
                                                Bytes{kAtt, "L", "L", "P", "Q", "R", "S", "L", "P", kAtt});
    }
    // One good read, the next attempt armed, then Cancel while it waits.
    void readThenCancel()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Bytes, expected);
        Bench b(dialect);
        ScriptedOperator op;
        Session read(b.connection, Job{.kind = JobKind::Read}, op);
        b.vp.at(1.2, [&] { b.sim.swipe(); });
        b.cancelAt(3.0, read);
        const RunSummary run = read.run();
        QCOMPARE(run.end, OperationEnd::Cancelled);

        QCOMPARE(b.writes(), expected);
        QVERIFY(op.began);
        QCOMPARE(op.cards, (QList<qint64>{1, 2}));
        QCOMPARE(run.ok, 1);
        QVERIFY(op.output[0].startsWith("B4000123456789010^SAMPLE/CARD HOLDER^"));
        QCOMPARE(op.notices, (QList<Notice>{Notice::ReadSuccess, Notice::Clear}));
        QVERIFY(op.errors.isEmpty());
        QCOMPARE(op.promptsShown, 2);
    }

    // Two encoders, each read by its own job on its own thread with its own pacer, both waiting
    // for their second card when this thread cancels them: each encoder gets exactly its own
    // bytes, closing sequence included.
    void twoJobsOnTwoThreads()
    {
        struct Lane : ScriptedOperator {
            explicit Lane(DialectId d) : bench(d) { bench.vp.at(1.2, [this] { bench.sim.swipe(); }); }
            void showPrompt(bool shown) override
            {
                ScriptedOperator::showPrompt(shown);
                if (shown && cards.size() == 2 && !held) {
                    held = true;
                    waiting.release();
                    resume.acquire();
                }
            }
            Bench bench;
            Session *session = nullptr;
            RunSummary run;
            QSemaphore waiting, resume;
            bool held = false;
        };
        Lane hkd(DialectId::Hkd382), vnt(DialectId::Vnt290b);
        std::vector<std::unique_ptr<QThread>> threads;
        for (Lane *lane : {&hkd, &vnt}) {
            threads.emplace_back(QThread::create([lane] {
                Session session(lane->bench.connection, Job{.kind = JobKind::Read}, *lane);
                lane->session = &session;
                lane->run = session.run();
                session.close();
            }));
            threads.back()->start();
        }
        for (Lane *lane : {&hkd, &vnt}) {
            lane->waiting.acquire();
            lane->session->cancel();
            lane->resume.release();
        }
        for (auto &t : threads)
            QVERIFY(t->wait());
        QCOMPARE(hkd.bench.writes(), (Bytes{kReset, kSwipe, kRead, kRead, kReset, kOff, kIdle}));
        QCOMPARE(vnt.bench.writes(), (Bytes{kAtt, "L", "L", "P", "Q", "R", "S", "L", "P", kAtt}));
        for (Lane *lane : {&hkd, &vnt}) {
            QCOMPARE(lane->run.end, OperationEnd::Cancelled);
            QCOMPARE(lane->run.ok, 1);
        }
    }

    void writeThenCancel_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Bytes>("expected");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id
                                  << perDialect(d.id, Bytes{kSwipe, kCodes, kBpi, kWriteB123, kWriteB123, kReset},
                                                Bytes{kAtt, "(", "A", kVntB123, "@", "(", "A", kVntB123, "@", kAtt});
    }
    // A good write, the next attempt, then Cancel while it waits for the swipe; the card holds it.
    void writeThenCancel()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Bytes, expected);
        Bench b(dialect);
        ScriptedOperator op;
        Session write(b.connection, Job{.kind = JobKind::Write, .tracks = {"B123", "", ""}}, op);
        b.vp.at(1.5, [&] { b.sim.swipe(); });
        b.cancelAt(3.0, write);
        QCOMPARE(write.run().end, OperationEnd::Cancelled);

        QVERIFY2(b.writes() == expected, qPrintable(b.writes().join(' ').toHex(' ')));
        QCOMPARE(b.sim.cardInSlot().tracks[0].chars, QByteArray("B123"));
        QCOMPARE(op.output, (Iso::Tracks{"B123", "", ""}));
        QCOMPARE(op.cards, (QList<qint64>{2}));
        QCOMPARE(op.notices, (QList<Notice>{Notice::WriteComplete, Notice::Clear}));
    }

    void eraseTwoThenCancel_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("mask");
        for (const DialectEntry &d : kDialects)
            for (int mask : {5, 2, 7})
                QTest::addRow("%s mask %d", d.name, mask) << d.id << mask;
    }
    // Two good erases, then Cancel in the third swipe wait: every byte, and the card erased.
    void eraseTwoThenCancel()
    {
        QFETCH(DialectId, dialect);
        QFETCH(int, mask);
        Bench b(dialect);
        ScriptedOperator op;
        Session erase(b.connection, Job{.kind = JobKind::Erase, .eraseMask = mask}, op);
        b.vp.at(1.5, [&] { b.sim.swipe(); });
        b.vp.at(4.5, [&] { b.sim.swipe(); });
        b.cancelAt(7.5, erase);
        const RunSummary run = erase.run();
        QCOMPARE(run.end, OperationEnd::Cancelled);

        const Bytes command = eraseCommand(dialect, mask);
        Bytes vnt{kAtt, "("};
        for (int i = 0; i < 2; ++i)
            vnt << command << "L" << "l" << "(";
        vnt << command << kAtt;
        const Bytes expected = perDialect(dialect, Bytes{kReset, kSwipe} + command + command + command + Bytes{kReset}, vnt);
        QVERIFY2(b.writes() == expected, qPrintable(b.writes().join(' ').toHex(' ')));
        QCOMPARE(run.ok, 2);
        QCOMPARE(op.cards, (QList<qint64>{1, 2, 3}));
        const SimCard before = Simulator::defaultDeck().at(0);
        for (int t = 0; t < 3; ++t) {
            if (mask & (1 << t))
                QVERIFY(b.sim.cardInSlot().tracks[size_t(t)].isBlank());
            else
                QCOMPARE(b.sim.cardInSlot().tracks[size_t(t)].chars, before.tracks[size_t(t)].chars);
        }
    }

    void encodeFile_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QStringList>("script"); // at 2 s, 5.5 s, ...: "swipe", "bad" or "skip"
        QTest::addColumn<Bytes>("pile");
        QTest::addColumn<QList<qint64>>("tally"); // written, skipped, failed
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s three cards", d.name)
                << d.id << QStringList{"swipe", "swipe", "swipe"} << Bytes{"B1", "2", "C3"} << QList<qint64>{3, 0, 0};
            QTest::addRow("%s failed card retried, one skipped", d.name)
                << d.id << QStringList{"bad", "swipe", "skip", "swipe"} << Bytes{"B1", "C3"}
                << QList<qint64>{2, 1, 1};
        }
    }
    // A file onto a stack of blank cards, to its end.
    void encodeFile()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QStringList, script);
        QFETCH(Bytes, pile);
        QFETCH(QList<qint64>, tally);
        Bench b(dialect);
        b.sim.setStack(Simulator::blankStack(5));
        ScriptedOperator op;
        Session encode(b.connection, Job{.kind = JobKind::Encode, .records = "B1||\r\n|2|\r\nC3||\r\n"}, op);
        double t = 2.0;
        for (const QString &act : script) {
            b.vp.at(t, [&b, &encode, act] {
                if (act == "skip") {
                    encode.skip();
                    return;
                }
                b.sim.setNextSwipeBad(act == "bad");
                b.sim.swipe();
            });
            t += 3.5;
        }
        const RunSummary run = encode.run();
        QCOMPARE(run.end, OperationEnd::Finished);
        encode.close();

        Bytes written;
        for (const SimCard &card : b.sim.swipedCards())
            written << card.tracks[0].chars + card.tracks[1].chars + card.tracks[2].chars;
        QCOMPARE(written, pile);
        QCOMPARE((QList<qint64>{run.ok, run.skipped, run.failed}), tally);
        QVERIFY(run.fileDone);
        QCOMPARE(op.errors.size(), int(tally[2]));
        QCOMPARE(b.writes().last(), kAtt); // the closing: Attention in both dialects
    }
};

QTEST_GUILESS_MAIN(HeadlessTest)
#include "tst_headless.moc"
