// What every swipe window shares, as rows over every window and dialect: a port lost in each
// of its waits, the window closed in each wait (Cancel, Escape, the close box), a refused start,
// and the line's faults (silence, garbage, slow pieces, a wrong status, an unreadable card, the
// device vanishing, noise), each followed by a normal operation.
// A new window adds its job to jobRows() (JobWaits.h: the waits, with the bytes the headless
// suite checks) and one entry to windows().
#include "Dialects.h"
#include "JobWaits.h"
#include "SwipeFixture.h"
#include "batch/cfrmEncodeRF.h"
#include "batch/cfrmEncodeWF.h"
#include "batch/cfrmWriteIncr.h"
#include "noniso/nfrmReadCard.h"
#include "noniso/nfrmSwipeWrite.h"
#include "iso/cfrmCopyCard.h"
#include "iso/cfrmReadCard.h"
#include "iso/cfrmWriteCard.h"
#include "iso/frmEraseCard.h"
#include "ui/common/SwipeWindow.h"

#include <QLabel>
#include <QMap>
#include <QtTest>
#include <algorithm>
#include <memory>

using Script = std::function<void(SwipeFixture &)>;

namespace {
// Successful operations so far, as the operator sees them.
using Successes = std::function<int(SwipeFixture &, SwipeWindow &)>;
// The operator's part of one normal operation from t on.
using Normal = std::function<void(SwipeFixture &, double t)>;

int messagesReading(SwipeFixture &f, const QStringList &texts)
{
    int n = 0;
    for (const QString &m : f.records.messages())
        n += texts.contains(m) ? 1 : 0;
    return n;
}
const QString kReadOk = "\r\nSuccessful read from card swipe.", kWriteOk = "\r\nWrite complete.  Verify data accuracy before continue.";
int countMessages(SwipeFixture &f, SwipeWindow &) { return messagesReading(f, {kReadOk, kWriteOk, frmEraseCard::kCompleteMessage}); }
void swipeOnce(SwipeFixture &f, double t) { f.swipeAt(t); }


// Opens the window on the fixture's connection, over its records.
using Make = std::function<SwipeWindow *(SwipeFixture &)>;

// A window over its job's row (its waits and refused starts, with the bytes: JobWaits.h).
struct WindowRow {
    const JobRow *job;
    Make make;
    Script records = {};           // what its records need before it opens
    Successes successes = countMessages;
    Normal normal = swipeOnce;
};

template <class W> Make make()
{
    return [](SwipeFixture &f) { return new W(f.connection, &f.records, &f.records); };
}

const QList<WindowRow> &windows()
{
    static const QList<WindowRow> rows{
        {&jobRow("read"), make<cfrmReadCard>()},
        {&jobRow("write"),
         [](SwipeFixture &f) -> SwipeWindow * {
             return new cfrmWriteCard(f.connection, f.records.inputTracks(), &f.records, &f.records);
         },
         [](SwipeFixture &f) { f.records.setInput("B123", "", ""); }},
        {&jobRow("copy"), make<cfrmCopyCard>(), {}, countMessages, [](SwipeFixture &f, double t) {
             f.swipeAt(t);
             f.swipeAt(t + 2.0);
         }},
        {&jobRow("erase"), [](SwipeFixture &f) -> SwipeWindow * { return new frmEraseCard(f.connection, 7, &f.records, &f.records); }},
        {&jobRow("save"), make<cfrmEncodeWF>()},
        {&jobRow("encode from file"), [](SwipeFixture &f) -> SwipeWindow * {
             return new cfrmEncodeRF(f.connection, jobRow("encode from file").job.records, &f.records, &f.records);
         }},
        {&jobRow("incremental"), [](SwipeFixture &f) -> SwipeWindow * {
             return new cfrmWriteIncr(f.connection, jobRow("incremental").job.series, &f.records, &f.records);
         }},
        {&jobRow("non-ISO read"), [](SwipeFixture &f) -> SwipeWindow * { return new nfrmReadCard(f.connection, NonIso::Selection{}, &f.records); },
         {}, [](SwipeFixture &f, SwipeWindow &) {
             return int(std::count_if(f.shown.begin(), f.shown.end(),
                                      [](const SwipeFixture::Shown &s) { return s.className == "nfrmReadStdFmt"; }));
         }},
        {&jobRow("non-ISO write"), [](SwipeFixture &f) -> SwipeWindow * {
             return new nfrmSwipeWrite(f.connection, jobRow("non-ISO write").job.nonIsoWrite, &f.records);
         },
         {}, [](SwipeFixture &, SwipeWindow &w) { return static_cast<CardPromptWindow &>(w).LC->text().toInt() - 1; }},
    };
    return rows;
}

enum class CloseBy { Cancel, Escape, CloseBox };

// A line fault from kFaultAt (in every window's first swipe wait) to kLifted; the operator swipes
// during it and again after it, then clicks Cancel.
enum class LineFault { Silence, Garbage, Pieces, WrongStatus, Unreadable, Vanished, Flood, SlowReply, NoiseCancel };
constexpr double kFaultAt = 1.5, kLifted = 12.0, kCancelAt = 24.0;

void inject(SwipeFixture &f, LineFault fault, DialectId dialect)
{
    Simulator &sim = f.sim;
    f.at(kFaultAt, [&sim, fault, dialect] {
        switch (fault) {
        case LineFault::Silence: sim.setSilent(true); break;
        case LineFault::Garbage: sim.setNextReply(QByteArray("\x80\xFF\x1B?x\x00Z", 7)); break;
        case LineFault::Pieces: sim.setReplyPieces(1 << 20, 0.05); break;
        case LineFault::WrongStatus:  // one swipe's
            switch (dialect) {
            case DialectId::Hkd382: sim.setStatusByte('9'); break;
            case DialectId::Vnt290b: sim.setNextReply("9"); break;
            }
            break;
        case LineFault::Unreadable: sim.setNextSwipeBad(); break;
        case LineFault::Vanished: break;
        case LineFault::Flood: sim.flood(10.0); break;
        case LineFault::SlowReply:  // an unreadable card's answer, slower than any settle
            sim.setNextSwipeBad();
            sim.setReplyPieces(8, 0.2);
            break;
        case LineFault::NoiseCancel: sim.flood(60.0, 100.0); break;
        }
    });
    if (fault == LineFault::Vanished)
        f.at(2.0, [&sim] { sim.vanishPort(); });
    f.at(2.1, [&sim] { sim.setStatusByte('0'); });
    f.at(kLifted, [&sim] {
        sim.setSilent(false);
        sim.setReplyPieces(1, 0.0);
        sim.setStatusByte('0');
    });
}

struct Run {
    SwipeFixture f;
    std::unique_ptr<SwipeWindow> w;
    Run(const WindowRow &row, DialectId dialect) : f(dialect)
    {
        if (row.records)
            row.records(f);
    }
    SwipeWindow &open(const WindowRow &row)
    {
        w.reset(row.make(f));
        return *w;
    }
};
} // namespace

Q_DECLARE_METATYPE(WindowRow)
Q_DECLARE_METATYPE(CloseBy)
Q_DECLARE_METATYPE(LineFault)

class SwipeContractTest : public QObject {
    Q_OBJECT

    // Every window × dialect × wait.
    static void waitRows(bool closeWays)
    {
        QTest::addColumn<WindowRow>("window");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Wait>("wait");
        QTest::addColumn<CloseBy>("how");
        for (const WindowRow &row : windows())
            for (const DialectEntry &d : kDialects) {
                if (!row.job->waits.contains(d.id))  // a dialect the window's rows forgot
                    qFatal("%s: no waits for %s", row.job->name, d.name);
                for (const Wait &wait : row.job->waits[d.id]) {
                    if (!closeWays) {
                        QTest::addRow("%s %s %s", row.job->name, d.name, wait.name) << row << d.id << wait << CloseBy::Cancel;
                        continue;
                    }
                    for (auto [how, label] : {std::pair{CloseBy::Cancel, "Cancel"}, {CloseBy::Escape, "Escape"},
                                              {CloseBy::CloseBox, "close box"}})
                        QTest::addRow("%s %s %s, %s", row.job->name, d.name, wait.name, label) << row << d.id << wait << how;
                }
            }
    }

private slots:
    void portCannotOpen_data()
    {
        QTest::addColumn<WindowRow>("window");
        QTest::addColumn<DialectId>("dialect");
        for (const WindowRow &row : windows())
            for (const DialectEntry &d : kDialects)
                QTest::addRow("%s %s", row.job->name, d.name) << row << d.id;
    }
    // A port that cannot be opened: one communication-failure report, the window closes without
    // a swipe error window (nothing sent: tst_headless).
    void portCannotOpen()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        Run r(window, dialect);
        r.f.sim.vanishPort();
        r.f.run(r.open(window), 60.0);
        r.f.verifyPortFailureReport(*r.w, window.job->noPortEndsBefore);
    }

    void portLostInWait_data() { waitRows(false); }
    // The port goes away in a wait: one report, the window closes at once (nothing more sent:
    // tst_headless).
    void portLostInWait()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        QFETCH(Wait, wait);
        Run r(window, dialect);
        if (wait.script)
            wait.script(r.f.vp, r.f.sim);
        r.f.at(wait.at, [&] { r.f.sim.vanishPort(); });
        r.f.run(r.open(window), 60.0);
        r.f.verifyPortFailureReport(*r.w, wait.at + wait.within);
    }

    void closedInWait_data() { waitRows(true); }
    // Closed in a wait: no message window, the window gone in time; Escape and the close box
    // send what Cancel sends (Cancel's closing, the port closed, the encoder not left waiting:
    // tst_headless).
    void closedInWait()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        QFETCH(Wait, wait);
        QFETCH(CloseBy, how);
        Run r(window, dialect);
        if (wait.script)
            wait.script(r.f.vp, r.f.sim);
        SwipeWindow &w = r.open(window);
        switch (how) {
        case CloseBy::Cancel: r.f.clickAt(wait.at, &w); break;
        case CloseBy::Escape: r.f.escapeAt(wait.at, &w); break;
        case CloseBy::CloseBox: r.f.closeAt(wait.at, &w); break;
        }
        r.f.closeAt(wait.at + 0.02, &w);  // impatient: the close box again while the closing runs
        r.f.run(w);
        QVERIFY(!r.f.timedOut);
        QVERIFY(r.f.shown.isEmpty());
        QVERIFY(!w.isVisible());
        if (!wait.script)  // closed before any swipe: the message box empty
            QCOMPARE(r.f.records.message(), QString());
        // Escape and the close box do what Cancel does, as soon (Cancel's own: tst_headless).
        if (how != CloseBy::Cancel) {
            QVERIFY2(r.f.writes() == wait.before + wait.closing, qPrintable(r.f.timeline()));
            QVERIFY(!window.job->portClosesWithRun || !w.session().portOpen());
            QVERIFY(!r.f.sim.awaitingSwipe());
            if (!wait.closing.isEmpty()) {
                const double closedAt = r.f.writeTimes()[wait.before.size()];
                QVERIFY2(closedAt >= wait.at - 1e-9 && closedAt < wait.at + 0.015, qPrintable(r.f.timeline()));
            }
        }
        const double gone = wait.closedWithin < 0 ? wait.within : wait.closedWithin;
        QVERIFY2(r.f.vp.now() < wait.at + gone, qPrintable(QString::number(r.f.vp.now() - wait.at) + "\n" + r.f.timeline()));
        // Whatever runs after the window is out of sight keeps the window below waiting.
        QVERIFY2(r.f.vp.now() - r.f.hiddenAt <= 0.1, qPrintable(QString("hidden at %1, returned at %2\n").arg(r.f.hiddenAt).arg(r.f.vp.now()) + r.f.timeline()));
        r.w.reset();
        QVERIFY(r.f.sim.makeLink()->open(1, "9600,n,8,1"));  // the next window can have the port
    }

    void refusedStart_data()
    {
        QTest::addColumn<WindowRow>("window");
        QTest::addColumn<StartRefusal>("refusal");
        for (const WindowRow &row : windows())
            for (const StartRefusal &refusal : row.job->refusals)
                QTest::addRow("%s %s", row.job->name, refusal.fault) << row << refusal;
    }
    // VNT-290B: Attention answered with garbage, the first command after it not acknowledged
    // ("prepare": a wrong answer; "prepare silent": none), a silent encoder (Cancel at 10 s;
    // "silent, Cancel": at 1 s). The read error window (after the error indication when the
    // start got as far as its first command), then the window closes, and no error window stands
    // over a closed window (what the encoder receives: tst_headless).
    void refusedStart()
    {
        QFETCH(WindowRow, window);
        QFETCH(StartRefusal, refusal);
        Run r(window, DialectId::Vnt290b);
        refuseStart(r.f.vp, r.f.sim, refusal.fault);
        SwipeWindow &w = r.open(window);
        r.f.clickAt(refusalCancelAt(refusal.fault), &w);
        r.f.swipeAt(2.0);
        r.f.run(w);
        QCOMPARE(r.f.shown.size(), refusal.errorAfter < 0 ? 0 : 1);
        if (refusal.errorAfter >= 0) {
            QCOMPARE(r.f.shown[0].className, QString(refusal.className));
            QCOMPARE(r.f.shown[0].title, QString(refusal.title));
            QCOMPARE(r.f.shown[0].receivedBefore, refusal.errorAfter);
            QVERIFY(r.f.vp.now() < 10.0);
        }
        QVERIFY(!w.isVisible());
        QVERIFY(r.f.records.changes.isEmpty());
    }

    void lineFaults_data()
    {
        QTest::addColumn<WindowRow>("window");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<LineFault>("fault");
        const std::pair<LineFault, const char *> faults[] = {
            {LineFault::Silence, "silence"}, {LineFault::Garbage, "garbage"}, {LineFault::Pieces, "1-byte pieces"},
            {LineFault::WrongStatus, "wrong status"}, {LineFault::Unreadable, "unreadable"},
            {LineFault::Vanished, "vanished"}, {LineFault::Flood, "flood"}, {LineFault::SlowReply, "slow reply"},
            {LineFault::NoiseCancel, "noise, Cancel"}};
        for (const WindowRow &row : windows())
            for (const DialectEntry &d : kDialects)
                for (auto [fault, label] : faults)
                    QTest::addRow("%s %s %s", row.job->name, d.name, label) << row << d.id << fault;
    }
    // A fault in the swipe wait: no hang, no spinning, at most one message window, Cancel lands
    // on the first click (also under a stream of noise), and a normal operation works afterwards
    // in the same window (the fault lifted) or, after a lost port, in a new one.
    void lineFaults()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        QFETCH(LineFault, fault);
        Run r(window, dialect);
        inject(r.f, fault, dialect);
        const bool noise = fault == LineFault::NoiseCancel;
        const double cancelAt = noise ? 6.0 : kCancelAt;
        window.normal(r.f, 2.0);
        if (!noise)
            window.normal(r.f, kLifted + 2.0);
        SwipeWindow &w = r.open(window);
        r.f.clickAt(cancelAt, &w);
        r.f.run(w, 120.0);
        const QString log = QString::number(r.f.vp.now()) + "\n" + r.f.timeline();
        QVERIFY2(!r.f.timedOut, qPrintable(log));
        QVERIFY(!w.isVisible());
        QVERIFY2(r.f.vp.now() < cancelAt + 2.5, qPrintable(log));
        // Waits let time move: a few passes per virtual tick at most.
        QVERIFY2(r.f.vp.passes() < 2 * qint64(r.f.vp.now() / Pacer::kTick) + 500, qPrintable(QString::number(r.f.vp.passes())));
        QList<SwipeFixture::Shown> messages;
        for (const auto &s : r.f.shown)
            if (s.className != "nfrmReadStdFmt")
                messages << s;
        QString titles;
        for (const auto &m : messages)
            titles += QString::number(m.time) + " " + m.title + "\n";
        // Under noise every attempt fails on its own, but none after the line is clear again.
        const bool flood = fault == LineFault::Flood || noise;
        QVERIFY2(flood ? messages.isEmpty() || messages.last().time < kLifted + 1.0 : messages.size() <= 1,
                 qPrintable(titles + log));
        if (fault == LineFault::Vanished) {
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages[0].title, QString("Communications Error"));
        }
        // A slow or unreadable answer is still an answer: the window goes on in place. Where the
        // answer was lost (silence, garbage, a vanished port, noise) the operator may need a new window.
        const bool answered = fault == LineFault::Pieces || fault == LineFault::Unreadable || fault == LineFault::SlowReply;
        if (answered)
            QVERIFY2(window.successes(r.f, w) >= 1, qPrintable(log));
        if (window.successes(r.f, w) >= 1)
            return;
        // A new window, opened as an operator would, a little later, works normally.
        r.w.reset();
        r.f.sim.restorePort();
        r.f.sim.flood(0.0);
        r.f.vp.advance(2.0);
        std::unique_ptr<SwipeWindow> next(window.make(r.f));
        const double t = r.f.vp.now();
        const int before = window.successes(r.f, *next);
        window.normal(r.f, t + 2.0);
        r.f.clickAt(t + 8.0, next.get());
        r.f.run(*next, t + 30.0);
        QVERIFY(!r.f.timedOut);
        QString seen;
        for (const auto &m : r.f.shown)
            seen += QString::number(m.time) + " " + m.title + "\n";
        QVERIFY2(window.successes(r.f, *next) > before, qPrintable(seen + r.f.timeline()));
    }
};

QTEST_MAIN(SwipeContractTest)
#include "tst_swipecontract.moc"
