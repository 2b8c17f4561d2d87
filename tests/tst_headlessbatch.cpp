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
        QTest::addColumn<Bytes>("cards");        // every card swiped well (read, for a non-ISO read), "t1|t2|t3"
        QTest::addColumn<qint64>("number");      // where the series stands
        QTest::addColumn<Bytes>("writes");       // in order; "..." stands for any run of writes

        const auto F = OperationEnd::Finished, C = OperationEnd::Cancelled;
        // A file of three records; the operator acts every 3.5 s from 1.5 s.
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
            // A failed card: HKD382 turns the indication off before the error; VNT-290B disarms the write first.
            const Bytes failed = perDialect(d.id, Bytes{"...", hex("1B 81"), hex("1B 85"), hex("1B 81"), "...", kAtt},
                                            Bytes{"...", "L", "l", "M", "m", "...", kAtt});
            QTest::addRow("%s file, three cards", d.name) << d.id << file << blank(5) << acts({"swipe", "swipe", "swipe"})
                                                          << F << QStringList{} << Bytes{one, two, three} << 0LL << end;
            QTest::addRow("%s file, failed card retried", d.name)
                << d.id << file << blank(5) << acts({"bad", "swipe", "swipe", "swipe"}) << F << QStringList{"write"}
                << Bytes{one, two, three} << 0LL << failed;
            QTest::addRow("%s file, skip at the first attempt", d.name) << d.id << file << blank(5) << acts({"skip", "swipe", "swipe"})
                                                                        << F << QStringList{} << Bytes{two, three} << 0LL << end;
            QTest::addRow("%s file, skip after a failure", d.name)
                << d.id << file << blank(5) << acts({"bad", "skip", "swipe", "swipe"}) << F << QStringList{"write"}
                << Bytes{two, three} << 0LL << failed;
            QTest::addRow("%s file, cancel in the middle", d.name) << d.id << file << blank(5) << acts({"swipe", "cancel"}) << C
                                                                   << QStringList{} << Bytes{one} << 0LL
                                                                   << Bytes{"...", kAtt, perDialect(d.id, kReset, kAtt)};
        }
        // The encoder refuses the track data, or will not arm at the start: the records stay unwritten.
        QTest::addRow("VNT-290B file, refused write") << DialectId::Vnt290b << file << blank(5, "A") << QStringList{}
                                                      << OperationEnd::Refused << QStringList{"write"} << Bytes{} << 0LL
                                                      << Bytes{"...", "L", "l", "M", "m", kAtt};
        QTest::addRow("VNT-290B file, start refused") << DialectId::Vnt290b << file << blank(5, "(") << QStringList{}
                                                      << OperationEnd::StartRefused << QStringList{"read"} << Bytes{} << 0LL << end;

        // A series onto blank cards, swiped at 2, 5 and 8 s: after the last card no re-arming, the closing.
        const QStringList threeSwipes{"2 swipe", "5 swipe", "8 swipe"};
        const Bytes c125{"ABC|125|", "ABC|126|", "ABC|127|"}, c98{"|98|", "|99|", "|100|"},
                    cWide{"||2147483646=", "||2147483647=", "||2147483648="}, cSame{"N0||77", "N0||77", "N0||77"};
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s series 125..127", d.name) << d.id << series(2, {"ABC", "12", ""}, "", 5, 1, 3) << blank(3)
                                                        << threeSwipes << F << QStringList{} << c125 << 8LL << seriesWrites(d.id, c125);
            QTest::addRow("%s series 98..100", d.name) << d.id << series(2, {"", "", ""}, "", 98, 1, 3) << blank(3)
                                                       << threeSwipes << F << QStringList{} << c98 << 101LL << seriesWrites(d.id, c98);
            QTest::addRow("%s series past 32 bits", d.name) << d.id << series(3, {"", "", ""}, "=", 2147483646, 1, 3) << blank(3)
                                                            << threeSwipes << F << QStringList{} << cWide << 2147483649LL
                                                            << seriesWrites(d.id, cWide);
            QTest::addRow("%s series, increment empty", d.name) << d.id << series(1, {"N", "", "77"}, "", 0, 0, 3) << blank(3)
                                                                << threeSwipes << F << QStringList{} << cSame << 0LL
                                                                << seriesWrites(d.id, cSame);
            QTest::addRow("%s series, failed card retried", d.name) << d.id << series(2, {"ABC", "12", ""}, "", 5, 1, 2) << blank(3)
                                                                    << QStringList{"2 swipe", "5 bad", "10 swipe"} << F << QStringList{"write"}
                                                                    << c125.mid(0, 2) << 7LL << Bytes{"..."};
            QTest::addRow("%s series, cancel in 2nd wait", d.name) << d.id << series(2, {"", "", ""}, "", 5, 1, 3) << blank(3)
                                                                   << QStringList{"2 swipe", "4 cancel"} << C << QStringList{} << Bytes{"|5|"}
                                                                   << 6LL << Bytes{"...", perDialect(d.id, kReset, kAtt)};
        }
        const Job fiveOnward = series(2, {"", "", ""}, "", 5, 1, 3);
        QTest::newRow("VNT-290B series, track refused") << DialectId::Vnt290b << fiveOnward << blank(3, "B") << QStringList{"2 swipe"}
                                                        << OperationEnd::Refused << QStringList{"write"} << Bytes{} << 5LL << end;
        QTest::newRow("VNT-290B series, arming refused") << DialectId::Vnt290b << fiveOnward << blank(3, "(") << QStringList{"2 swipe"}
                                                         << OperationEnd::StartRefused << QStringList{"read"} << Bytes{} << 5LL << end;
        QTest::newRow("VNT-290B series, attention answered !")
            << DialectId::Vnt290b << fiveOnward << Setup([](Bench &b) { blank(3)(b); b.sim.setNextReply("!"); })
            << QStringList{"2 swipe"} << OperationEnd::StartRefused << QStringList{"write"} << Bytes{} << 5LL << end;

        // Non-ISO: written, or read on a 2400 baud line, where the fixed waits end before a long track is in.
        const SimCard slot = Simulator::defaultDeck().at(0);
        const QByteArray untouched = slot.tracks[0].chars + '|' + slot.tracks[1].chars + '|' + slot.tracks[2].chars;
        const QByteArray rest = untouched.mid(untouched.indexOf('|')); // tracks 2 and 3, not written
        const QByteArray raw7 = rawValues(76, 7), raw5 = rawValues(39, 5), raw106 = rawValues(106, 5);
        const QStringList swipeThenCancel{"2 swipe", "6 cancel"}, failedThenCancel{"2 bad", "5 swipe", "8 cancel"};
        const auto write = [](const WriteJob &w) { return Job{.kind = JobKind::NonIsoWrite, .nonIsoWrite = w}; };
        const auto read = [](const Selection &s) { return Job{.kind = JobKind::NonIsoRead, .selection = s}; };
        const Setup none = [](Bench &) {};
        const auto slowCard = [](const std::array<SimTrack, 3> &tracks) {
            return Setup([tracks](Bench &b) {
                b.connection.baud = "2400";
                b.sim.insertCard({"long", tracks});
            });
        };
        QTest::newRow("VNT-290B non-ISO custom 7-bit 210 BPI, 76 values") << DialectId::Vnt290b
            << write(oneTrack(false, 1, Raw7Item, Density::Bpi210, raw7)) << none << swipeThenCancel << C << QStringList{}
            << Bytes{raw7 + rest} << 0LL << Bytes{"..."};
        QTest::newRow("VNT-290B non-ISO custom 5-bit 75 BPI") << DialectId::Vnt290b
            << write(oneTrack(false, 1, Raw5Item, Density::Bpi75, raw5)) << none << swipeThenCancel << C << QStringList{}
            << Bytes{raw5 + rest} << 0LL << Bytes{"..."};
        QTest::newRow("VNT-290B non-ISO custom 106 values, 2400 baud") << DialectId::Vnt290b << read(select(false, 1, Raw5Item))
            << slowCard({SimTrack{raw106, 5, true, false, true}, {}, {}}) << QStringList{"1.5 swipe", "5 cancel"} << C << QStringList{}
            << Bytes{raw106 + "|+|+"} << 0LL << Bytes{"..."};
        const QByteArray t1(76, 'A'), t2(106, '7'), t3(106, '3');
        QTest::newRow("HKD382 non-ISO three long tracks, 2400 baud") << DialectId::Hkd382 << read(Selection{})
            << slowCard({SimTrack{t1, 7, true, false, false}, {t2, 5, true, false, false}, {t3, 5, true, false, false}})
            << QStringList{"1.5 swipe", "5 cancel"} << C << QStringList{} << Bytes{t1 + '|' + t2 + '|' + t3} << 0LL << Bytes{"..."};
        const QByteArray hkdAB = hex("1B 57 1B 73 1B 11 41 42 1B 12 1B 13 3F 1C");
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s non-ISO standard 5-bit on track 1", d.name) << d.id
                << write(oneTrack(true, 1, StdT2Item, Density::Bpi210, "1234567890")) << none << swipeThenCancel << C
                << QStringList{} << Bytes{"1234567890" + rest} << 0LL << Bytes{"..."};
            // Cancel while the encoder waits for the swipe: the last bytes.
            QTest::addRow("%s non-ISO read, cancel while waiting", d.name)
                << d.id << read(Selection{}) << none << QStringList{"3 cancel"} << C << QStringList{} << Bytes{} << 0LL
                << perDialect(d.id, Bytes{"...", hex("1B 52 11 02 03"), kReset, kOff, kIdle}, Bytes{"...", "P", kAtt});
            QTest::addRow("%s non-ISO write, cancel while waiting", d.name)
                << d.id << write(oneTrack(true, 1, StdT1Item, Density::Bpi210, "AB")) << none << QStringList{"3 cancel"} << C
                << QStringList{} << Bytes{untouched} << 0LL
                << perDialect(d.id, Bytes{"...", hkdAB, kReset}, Bytes{"...", "AB\x04", "@", kAtt});
        }
        // A bad swipe, then the same data on the next card.
        QTest::newRow("HKD382 non-ISO failed swipe") << DialectId::Hkd382 << write(oneTrack(true, 1, StdT1Item, Density::Bpi75, "AB"))
            << none << failedThenCancel << C << QStringList{"write"} << Bytes{"AB" + rest} << 0LL
            << Bytes{"...", hkdAB, "...", hkdAB, "..."};
        QTest::newRow("VNT-290B non-ISO standard failed swipe") << DialectId::Vnt290b << write(oneTrack(true, 1, StdT1Item, Density::Bpi75, "AB"))
            << none << failedThenCancel << C << QStringList{"write"} << Bytes{"AB" + rest} << 0LL
            << Bytes{"...", "AB\x04", "...", "AB\x04", "..."};
        QTest::newRow("VNT-290B non-ISO custom failed swipe") << DialectId::Vnt290b << write(oneTrack(false, 1, Raw5Item, Density::Bpi75, hex("01 1F")))
            << none << failedThenCancel << C << QStringList{"write"} << Bytes{hex("01 1F") + rest} << 0LL
            << Bytes{"...", hex("01 1F 04"), "...", hex("01 1F 04"), "..."};
        // HKD382: a density command that gets no answer, and the custom format it does not have:
        // one error, nothing written, the run ends by itself.
        const QByteArray bpi75 = hex("1B 6A 4B 4B D2"), codes75 = hex("1B 5A 16 16 3D");
        const Bytes failedStart{kReset, hex("1B 85"), kOff, kIdle};
        for (const QByteArray &ignored : {hex("1B 6A"), hex("1B 5A")})
            QTest::addRow("HKD382 non-ISO %s not answered", ignored.toHex(' ').constData())
                << DialectId::Hkd382 << write(oneTrack(true, 1, StdT1Item, Density::Bpi75, "AB"))
                << Setup([ignored](Bench &b) { b.sim.setCommandFault(ignored, Simulator::Fault::Ignore); }) << QStringList{} << F
                << QStringList{"write"} << Bytes{untouched} << 0LL
                << Bytes{kSwipe, bpi75} + (ignored == codes75.left(2) ? Bytes{codes75} : Bytes{}) + failedStart;
        QTest::newRow("HKD382 non-ISO custom read") << DialectId::Hkd382 << read(select(false, 1, Raw5Item)) << none << QStringList{}
            << F << QStringList{"read"} << Bytes{} << 0LL << Bytes{kReset, kIdle, hex("1B 85"), kOff, kReset, kOff, kIdle};
        QTest::newRow("HKD382 non-ISO custom write") << DialectId::Hkd382 << write(oneTrack(false, 1, Raw5Item, Density::Bpi75, hex("01 1F")))
            << none << QStringList{} << F << QStringList{"write"} << Bytes{untouched} << 0LL
            << Bytes{kSwipe, bpi75, codes75} + failedStart;
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
        QFETCH(qint64, number);
        QFETCH(Bytes, writes);
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
        if (qEnvironmentVariableIsSet("SHOW"))
            qDebug() << int(run.end) << op.errors << seen << run.series.CurrentNumber << b.writes();
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
