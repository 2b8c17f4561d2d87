// The batch and non-ISO jobs with no widget at all, in every dialect and line they run in: the
// bytes the encoder gets, what the cards hold afterwards and how the run ends. The windows'
// suites keep what the windows add (texts, counts shown, message windows, keys).
#include "HeadlessBench.h"
#include "NonIsoJobs.h"
#include "ScriptedOperator.h"
#include "dialect/Commands.h"

#include <QCoreApplication>
#include <QtTest>
#include <functional>

using namespace NonIso;
using Setup = std::function<void(Bench &)>;
Q_DECLARE_METATYPE(Job)
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(OperationEnd)

namespace {
// A stack of `n` blank cards; the command `refused` (if any) answered with a refusal.
Setup blank(int n, const QByteArray &refused = {})
{
    return [=](Bench &b) {
        b.sim.setStack(Simulator::blankStack(n));
        if (!refused.isEmpty())
            b.sim.setCommandFault(refused, Simulator::Fault::Refuse);
    };
}

Job series(int track, const Iso::Tracks &data, const QByteArray &suffix, qint64 from, qint64 step, qint64 count)
{
    return {.kind = JobKind::Incremental, .series = {track, data, suffix, from, step, count}};
}

// A series written card after card ("t1|t2|t3" each): HKD382 arms each card with its write;
// VNT-290B arms, sends each track by its letter and, between cards, arms the read side and aborts it.
Bytes seriesWrites(DialectId d, const Bytes &cards)
{
    Bytes hkd{kSwipe, kCodes, kBpi}, vnt{kAtt};
    for (const QByteArray &card : cards) {
        const QList<QByteArray> t = card.split('|');
        hkd << "\x1Bw\x1Bs\x1B\x01" + t[0] + "\x1B\x02" + t[1] + "\x1B\x03" + t[2] + "?\x1C";
        vnt << "(";
        for (size_t i = 0; i < 3; ++i)
            if (!t[qsizetype(i)].isEmpty())
                vnt << Cmd::Vnt::WriteTrack[i + 1] << t[qsizetype(i)] + '\x04';
        vnt << "@" << "L" << "l";
    }
    vnt.resize(vnt.size() - 2);
    return perDialect(d, hkd, vnt << kAtt);
}

// `shape` matches `writes` where each "..." in it stands for any run of writes.
bool matches(const Bytes &writes, const Bytes &shape)
{
    if (shape.isEmpty())
        return writes.isEmpty();
    if (shape.first() == "...") {
        for (qsizetype i = 0; i <= writes.size(); ++i)
            if (matches(writes.mid(i), shape.mid(1)))
                return true;
        return false;
    }
    return !writes.isEmpty() && writes.first() == shape.first() && matches(writes.mid(1), shape.mid(1));
}

// One row of the table below.
void row(const QByteArray &name, DialectId d, const Job &job, const Setup &setup, const QStringList &acts,
         OperationEnd end, const QStringList &errors, const Bytes &cards, const Bytes &writes, qint64 number = 0)
{
    QTest::newRow(name.constData()) << d << job << setup << acts << end << errors << cards << writes << number;
}

const auto F = OperationEnd::Finished, C = OperationEnd::Cancelled;
const QStringList none, W{"write"}, R{"read"};
} // namespace

class HeadlessBatchTest : public QObject {
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Job>("job");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("acts");   // "t act": swipe, bad (a swipe that fails), skip, cancel
        QTest::addColumn<OperationEnd>("end");
        QTest::addColumn<QStringList>("errors"); // reported, in order
        QTest::addColumn<Bytes>("cards");        // written well (read, for a non-ISO read), "t1|t2|t3" each
        QTest::addColumn<Bytes>("writes");       // in order; "..." stands for any run of writes
        QTest::addColumn<qint64>("number");      // where the series stands

        // A file of three records onto blank cards; the operator acts every 3.5 s from 1.5 s.
        const Job file{.kind = JobKind::Encode, .records = "B1111^ONE^1|1111=1|\r\n|2222=2|+\r\nTHREE||333\r\n"};
        const QByteArray one = "B1111^ONE^1|1111=1|", two = "|2222=2|", three = "THREE||333";
        const auto acts = [](const QStringList &what) {
            QStringList out;
            for (int i = 0; i < what.size(); ++i)
                out << QString::number(1.5 + 3.5 * i) + ' ' + what[i];
            return out;
        };
        const Bytes end{"...", kAtt};
        for (const DialectEntry &d : kDialects) {
            const QByteArray n = d.name;
            // A failed card: HKD382 turns the indication off before the error; VNT-290B disarms the write first.
            const Bytes failed = perDialect(d.id, Bytes{"...", kOff, hex("1B 85"), kOff, "...", kAtt},
                                            Bytes{"...", "L", "l", "M", "m", "...", kAtt});
            // A skipped card: VNT-290B calls the encoder's attention and arms the next write.
            const Bytes skipped = perDialect(d.id, end, Bytes{"...", "@", "...", kAtt, "(", "...", kAtt});
            row(n + " file, three cards", d.id, file, blank(5), acts({"swipe", "swipe", "swipe"}), F, none, {one, two, three}, end);
            row(n + " file, failed card retried", d.id, file, blank(5), acts({"bad", "swipe", "swipe", "swipe"}), F, W,
                {one, two, three}, failed);
            row(n + " file, skip at the first attempt", d.id, file, blank(5), acts({"skip", "swipe", "swipe"}), F, none,
                {two, three}, skipped);
            row(n + " file, skip after a failure", d.id, file, blank(5), acts({"bad", "skip", "swipe", "swipe"}), F, W,
                {two, three}, failed.mid(0, failed.size() - 1) + skipped);
            row(n + " file, cancel in the middle", d.id, file, blank(5), acts({"swipe", "cancel"}), C, none, {one},
                {"...", kAtt, perDialect(d.id, kReset, kAtt)});
        }
        // The encoder refuses the track data, or will not arm at the start: the records stay unwritten.
        const DialectId vnt = DialectId::Vnt290b, hkd = DialectId::Hkd382;
        row("VNT-290B file, refused write", vnt, file, blank(5, "A"), none, OperationEnd::Refused, W, {},
            {"...", "L", "l", "M", "m", kAtt});
        row("VNT-290B file, start refused", vnt, file, blank(5, "("), none, OperationEnd::StartRefused, R, {}, end);

        // A series onto blank cards, swiped at 2, 5 and 8 s: after the last card no re-arming, the closing.
        const QStringList threeSwipes{"2 swipe", "5 swipe", "8 swipe"};
        const Bytes c125{"ABC|125|", "ABC|126|", "ABC|127|"}, c98{"|98|", "|99|", "|100|"},
                    cWide{"||2147483646=", "||2147483647=", "||2147483648="}, cSame{"N0||77", "N0||77", "N0||77"};
        const Job from5 = series(2, {"", "", ""}, "", 5, 1, 3);
        for (const DialectEntry &d : kDialects) {
            const QByteArray n = d.name;
            row(n + " series 125..127", d.id, series(2, {"ABC", "12", ""}, "", 5, 1, 3), blank(3), threeSwipes, F, none, c125,
                seriesWrites(d.id, c125), 8);
            row(n + " series 98..100", d.id, series(2, {"", "", ""}, "", 98, 1, 3), blank(3), threeSwipes, F, none, c98,
                seriesWrites(d.id, c98), 101);
            row(n + " series past 32 bits", d.id, series(3, {"", "", ""}, "=", 2147483646, 1, 3), blank(3), threeSwipes, F,
                none, cWide, seriesWrites(d.id, cWide), 2147483649);
            row(n + " series, increment empty", d.id, series(1, {"N", "", "77"}, "", 0, 0, 3), blank(3), threeSwipes, F, none,
                cSame, seriesWrites(d.id, cSame));
            row(n + " series, failed card retried", d.id, series(2, {"ABC", "12", ""}, "", 5, 1, 2), blank(3),
                {"2 swipe", "5 bad", "10 swipe"}, F, W, c125.mid(0, 2), {"..."}, 7);
            row(n + " series, cancel in 2nd wait", d.id, from5, blank(3), {"2 swipe", "4 cancel"}, C, none, {"|5|"},
                {"...", perDialect(d.id, kReset, kAtt)}, 6);
        }
        row("VNT-290B series, track refused", vnt, from5, blank(3, "B"), {"2 swipe"}, OperationEnd::Refused, W, {}, end, 5);
        row("VNT-290B series, arming refused", vnt, from5, blank(3, "("), {"2 swipe"}, OperationEnd::StartRefused, R, {}, end, 5);
        row("VNT-290B series, attention answered !", vnt, from5, [](Bench &b) { blank(3)(b); b.sim.setNextReply("!"); },
            {"2 swipe"}, OperationEnd::StartRefused, W, {}, end, 5);

        // Non-ISO, written onto the card in the slot (its tracks 2 and 3 kept), or read.
        const SimCard slot = Simulator::defaultDeck().at(0);
        const QByteArray rest = '|' + slot.tracks[1].chars + '|' + slot.tracks[2].chars, untouched = slot.tracks[0].chars + rest;
        const QByteArray raw7 = rawValues(76, 7), raw5 = rawValues(39, 5), raw106 = rawValues(106, 5);
        const auto write = [](const WriteJob &w) { return Job{.kind = JobKind::NonIsoWrite, .nonIsoWrite = w}; };
        const auto read = [](const Selection &s) { return Job{.kind = JobKind::NonIsoRead, .selection = s}; };
        const Setup as = [](Bench &) {};
        const QStringList writeOne{"2 swipe", "6 cancel"}, readOne{"1.5 swipe", "5 cancel"}, failedOne{"2 bad", "5 swipe", "8 cancel"};
        row("VNT-290B non-ISO custom 7-bit 210 BPI, 76 values", vnt, write(oneTrack(false, 1, Raw7Item, Density::Bpi210, raw7)),
            as, writeOne, C, none, {raw7 + rest}, {"..."});
        row("VNT-290B non-ISO custom 5-bit 75 BPI", vnt, write(oneTrack(false, 1, Raw5Item, Density::Bpi75, raw5)), as, writeOne,
            C, none, {raw5 + rest}, {"..."});
        // At 2400 baud the fixed waits end before a long track has arrived.
        const auto slowLine = [](const std::array<SimTrack, 3> &tracks) {
            return Setup([tracks](Bench &b) {
                b.connection.baud = "2400";
                b.sim.insertCard({"long", tracks});
            });
        };
        row("VNT-290B non-ISO custom 106 values, 2400 baud", vnt, read(select(false, 1, Raw5Item)),
            slowLine({SimTrack{raw106, 5, true, false, true}, {}, {}}), readOne, C, none, {raw106 + "|+|+"}, {"..."});
        const QByteArray t1(76, 'A'), t2(106, '7'), t3(106, '3');
        row("HKD382 non-ISO three long tracks, 2400 baud", hkd, read(Selection{}),
            slowLine({SimTrack{t1, 7, true, false, false}, {t2, 5, true, false, false}, {t3, 5, true, false, false}}), readOne,
            C, none, {t1 + '|' + t2 + '|' + t3}, {"..."});
        const QByteArray hkdAB = hex("1B 57 1B 73 1B 11 41 42 1B 12 1B 13 3F 1C");
        const WriteJob ab75 = oneTrack(true, 1, StdT1Item, Density::Bpi75, "AB"),
                       raw75 = oneTrack(false, 1, Raw5Item, Density::Bpi75, hex("01 1F"));
        for (const DialectEntry &d : kDialects)
            row(QByteArray(d.name) + " non-ISO standard 5-bit on track 1", d.id,
                write(oneTrack(true, 1, StdT2Item, Density::Bpi210, "1234567890")), as, writeOne, C, none, {"1234567890" + rest}, {"..."});
        // A bad swipe, then the same data on the next card.
        row("HKD382 non-ISO failed swipe", hkd, write(ab75), as, failedOne, C, W, {"AB" + rest}, {"...", hkdAB, "...", hkdAB, "..."});
        row("VNT-290B non-ISO standard failed swipe", vnt, write(ab75), as, failedOne, C, W, {"AB" + rest},
            {"...", "AB\x04", "...", "AB\x04", "..."});
        row("VNT-290B non-ISO custom failed swipe", vnt, write(raw75), as, failedOne, C, W, {hex("01 1F") + rest},
            {"...", hex("01 1F 04"), "...", hex("01 1F 04"), "..."});
        // HKD382: a density command that gets no answer, and the custom format it does not have:
        // one error, nothing written, the run ends by itself.
        const QByteArray bpi75 = hex("1B 6A 4B 4B D2"), codes75 = hex("1B 5A 16 16 3D");
        const Bytes failedStart{kReset, hex("1B 85"), kOff, kIdle};
        for (const QByteArray &ignored : {bpi75.left(2), codes75.left(2)})
            row("HKD382 non-ISO " + ignored.toHex(' ') + " not answered", hkd, write(ab75),
                [ignored](Bench &b) { b.sim.setCommandFault(ignored, Simulator::Fault::Ignore); }, none, F, W, {untouched},
                Bytes{kSwipe, bpi75} + (ignored == codes75.left(2) ? Bytes{codes75} : Bytes{}) + failedStart);
        row("HKD382 non-ISO custom read", hkd, read(select(false, 1, Raw5Item)), as, none, F, R, {},
            {kReset, kIdle, hex("1B 85"), kOff, kReset, kOff, kIdle});
        row("HKD382 non-ISO custom write", hkd, write(raw75), as, none, F, W, {untouched}, Bytes{kSwipe, bpi75, codes75} + failedStart);
    }
    void run()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Job, job);
        QFETCH(Setup, setup);
        QFETCH(QStringList, acts);
        QFETCH(OperationEnd, end);
        QFETCH(QStringList, errors);
        QFETCH(Bytes, cards);
        QFETCH(Bytes, writes);
        QFETCH(qint64, number);
        Bench b(dialect);
        setup(b);
        const qsizetype stacked = b.sim.stack().size();
        ScriptedOperator op;
        Session session(b.connection, job, op);
        for (const QString &act : acts) {
            const double t = act.section(' ', 0, 0).toDouble();
            const QString what = act.section(' ', 1);
            if (what == "cancel")
                b.cancelAt(t, session);
            else if (what == "skip")
                b.vp.atEvent(t, [&session] { session.skip(); });
            else
                b.vp.at(t, [&b, what] {
                    b.sim.setNextSwipeBad(what == "bad");
                    b.sim.swipe();
                });
        }
        const RunSummary run = session.run();
        session.close();

        // A non-ISO write writes the card in the slot, again and again.
        const QList<SimCard> written = job.kind == JobKind::NonIsoWrite ? QList<SimCard>{b.sim.cardInSlot()} : b.sim.swipedCards();
        Bytes seen;
        for (const SimCard &c : written)
            seen << c.tracks[0].chars + '|' + c.tracks[1].chars + '|' + c.tracks[2].chars;
        if (job.kind == JobKind::NonIsoRead)
            seen.clear();
        for (const Iso::Tracks &t : op.nonIsoCards)
            seen << t[0] + '|' + t[1] + '|' + t[2];
        QCOMPARE(run.end, end);
        QCOMPARE(op.errors, errors);
        QCOMPARE(seen, cards);
        QCOMPARE(run.series.CurrentNumber, number);
        // Each written track recorded as its format and density say.
        for (const SimCard &c : written)
            for (size_t t = 0; t < 3 && job.kind == JobKind::NonIsoWrite && run.ok > 0; ++t) {
                const TrackWrite &w = job.nonIsoWrite.tracks[t];
                if (w.data.isEmpty())
                    continue;
                QCOMPARE(c.tracks[t].bitsPerChar, w.item == StdT1Item || w.item == Raw7Item ? 7 : w.item == Raw6Item ? 6 : 5);
                QCOMPARE(c.tracks[t].high210, w.density == Density::Bpi210);
                QCOMPARE(c.tracks[t].raw, !job.nonIsoWrite.standardFormat);
            }
        QVERIFY2(matches(b.writes(), writes), qPrintable(b.writes().join(' ').toHex(' ')));
        QVERIFY(!b.sim.awaitingSwipe());
        QCOMPARE(b.sim.stack().size(), stacked - b.sim.swipedCards().size()); // the others wait their turn
    }
};

QTEST_GUILESS_MAIN(HeadlessBatchTest)
#include "tst_headlessbatch.moc"
