// What every swipe window shares, as rows over every window and dialect: a port lost in each
// of its waits, the window closed in each wait (Cancel, Escape, the close box), a refused start,
// and the line's faults (silence, garbage, slow pieces, a wrong status, an unreadable card, the
// device vanishing, noise), each followed by a normal operation.
// A new window adds one entry to windows().
#include "Dialects.h"
#include "SwipeFixture.h"
#include "batch/cfrmEncodeRF.h"
#include "batch/cfrmEncodeWF.h"
#include "batch/cfrmWriteIncr.h"
#include "card/TrackBlock.h"
#include "dialect/Commands.h"
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

using Bytes = QList<QByteArray>;
using Script = std::function<void(SwipeFixture &)>;

namespace {
QByteArray hex(const char *text) { return SwipeFixture::hex(text); }

const QByteArray kReset = hex("1B 61"), kSwipe = hex("1B 84"), kRead = hex("1B 72"), kOff = hex("1B 81"),
                 kIdle = hex("1B 83"), kAtt = hex("7F"), kCodes = hex("1B 5A 3D 16 3D"), kBpi = hex("1B 6A D2 4B D2");
const QByteArray kWriteB123 = hex("1B 77 1B 73 1B 01 42 31 32 33 1B 02 1B 03 3F 1C");
const QByteArray kB123 = QByteArray("B123") + char(4);
const QByteArray kBankT1 = "B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000";
const QByteArray kBankT2 = "4000123456789010=30121010000000000";
const QByteArray kBankT3 = "014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000";
constexpr int kBlankCard = 2;

// One wait of a window: the operator's script up to it (none: no card is swiped), the moment
// `at` inside it, what the encoder has received by then, what follows when the window is closed
// there, how soon after `at` a lost port closes the window, and how soon a close does (if
// that differs: the closing sequence may take its time).
struct Wait {
    const char *name;
    double at;
    Script script;
    Bytes before;
    Bytes closing;
    double within = 0.1;
    double closedWithin = -1;
};

using Waits = QMap<DialectId, QList<Wait>>;

// A start the VNT-290B encoder refuses: what the encoder receives, and how many writes it had
// received when the read error window appeared (-1: none appears).
struct StartRefusal {
    const char *fault;
    Bytes expected;
    int errorAfter;
    const char *title = "Read Swipe Error";
    const char *className = "sfrmReadErr";
};

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

struct WindowRow {
    const char *name;
    Make make;
    Script records;                // what its records need before it opens
    double noPortEndsBefore;       // a port that cannot be opened: the window closes before this
    Waits waits;                   // every dialect's
    QList<StartRefusal> refusals;       // VNT-290B
    Successes successes = countMessages;
    Normal normal = swipeOnce;
    bool portClosesWithWindow = false;  // its last exchange after a Cancel re-opens the port
};

struct EncodeFromFile : public cfrmEncodeRF {
    EncodeFromFile(const Connection &c, RecordView *r, QWidget *p)
        : cfrmEncodeRF(c, "ABC|123|\r\nDEF|456|\r\nGHI|789|\r\nJKL|012|\r\nMNO|345|\r\n", r, p)
    {
    }
};
Batch::IncrementSeries series()
{
    Batch::IncrementSeries s;
    s.TrackData = {"A", "", ""};
    s.CurrentNumber = 1;
    s.IncrementStep = 1;
    s.IncrementRemaining = 50;
    return s;
}
NonIso::WriteJob nonIsoJob()
{
    NonIso::WriteJob job;
    job.tracks[0] = {"ABC", NonIso::StdT1Item, NonIso::Density::Bpi210};
    job.tracks[1] = {"", NonIso::StdT2Item, NonIso::Density::Bpi75};
    job.tracks[2] = {"", NonIso::StdT3Item, NonIso::Density::Bpi210};
    return job;
}

template <class W> Make make()
{
    return [](SwipeFixture &f) { return new W(f.connection, &f.records, &f.records); };
}

const QList<WindowRow> &windows()
{
    static const Script none;
    static const Script swipeThenBlank = [](SwipeFixture &f) {
        f.swipeAt(2.0);
        f.at(3.5, [&f] { f.sim.selectCard(kBlankCard); });
        f.swipeAt(4.0);
    };
    static const Script swipeAt2 = [](SwipeFixture &f) { f.swipeAt(2.0); };
    static const QByteArray writeAbc = hex("1B 77 1B 73 1B 01 41 42 43 1B 02 31 32 33 1B 03 3F 1C");
    static const QByteArray writeA1 = hex("1B 77 1B 73 1B 01 41 31 1B 02 1B 03 3F 1C");
    static const QByteArray nonIsoAbc = hex("1B 57 1B 73 1B 11 41 42 43 1B 12 1B 13 3F 1C");
    static const Bytes bankWrite{hex("1B 77") + Iso::BuildWriteBlock(kBankT1, kBankT2, kBankT3)};
    static const QList<WindowRow> rows{
        {"read", make<cfrmReadCard>(), none, 2.5,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kReset, kSwipe, kRead}, {kReset, kOff, kIdle}, 0.1, 2.1}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, "L", "L", "P"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "L", "M", "m", kAtt}, 3},
          {"silent", {kAtt, "L", "M", "m", kAtt}, 3},
          {"silent, Cancel", {kAtt, kAtt}, -1}}},
        {"write",
         [](SwipeFixture &f) -> SwipeWindow * {
             return new cfrmWriteCard(f.connection, f.records.inputTracks(), &f.records, &f.records);
         },
         [](SwipeFixture &f) { f.records.setInput("B123", "", ""); }, 0.1,
         {{DialectId::Hkd382, QList<Wait>{{"before the command", 0.6, none, {kSwipe, kCodes, kBpi}, {}, 0.25},
                                          {"swipe wait", 2.0, none, {kSwipe, kCodes, kBpi, kWriteB123}, {kReset}}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, "(", "A", kB123, "@"}, {kAtt}},
                                           {"settle after the card", 2.2, swipeAt2, {kAtt, "(", "A", kB123, "@", "("}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5},
          {"silent", {kAtt, "(", "L", kAtt}, -1}}},
        {"copy", make<cfrmCopyCard>(), none, 10.0,
         {{DialectId::Hkd382, QList<Wait>{{"read wait", 1.5, none, {kReset, kCodes, kBpi, kRead}, {kReset}, 0.5},
                                          {"before the write", 2.8, swipeThenBlank, {kReset, kCodes, kBpi, kRead, kReset}, {}, 0.5},
                                          {"write wait", 3.5, swipeThenBlank, Bytes{kReset, kCodes, kBpi, kRead, kReset} + bankWrite, {kReset}, 0.5},
                                          {"before the read", 4.3, swipeThenBlank, Bytes{kReset, kCodes, kBpi, kRead, kReset} + bankWrite, {}, 0.5}}},
          {DialectId::Vnt290b, QList<Wait>{{"before P", 0.6, none, {kAtt, "L"}, {kAtt}, 0.5},
                                           {"read wait", 1.5, none, {kAtt, "L", "P"}, {kAtt}, 0.5},
                                           {"write wait", 3.5, swipeThenBlank,
                                            {kAtt, "L", "P", "Q", "R", "S", "A", kBankT1 + char(4), "B", kBankT2 + char(4), "C", kBankT3 + char(4), "@"},
                                            {kAtt}, 0.5}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "L", "M", "m", kAtt}, 3},
          {"silent", {kAtt, "L", "M", "m", kAtt}, 3}},
         countMessages, [](SwipeFixture &f, double t) {
             f.swipeAt(t);
             f.swipeAt(t + 2.0);
         }},
        {"erase", [](SwipeFixture &f) -> SwipeWindow * { return new frmEraseCard(f.connection, 7, &f.records, &f.records); }, none, 2.0,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kReset, kSwipe, Cmd::Hkd::eraseTracks(7)}, {kReset}},
                                          {"pause", 2.5, [](SwipeFixture &f) { f.swipeAt(1.0); }, {kReset, kSwipe, Cmd::Hkd::eraseTracks(7)}, {kReset}, 1.5, 0.1},
                                          {"before the next erase", 3.4, [](SwipeFixture &f) { f.swipeAt(1.0); },
                                           {kReset, kSwipe, Cmd::Hkd::eraseTracks(7)}, {kReset}, 0.6}}},
          {DialectId::Vnt290b, QList<Wait>{{"start", 0.01, none, {kAtt}, {kAtt}},
                                           {"swipe wait", 2.0, none, {kAtt, "(", "Z", "[", "\\", "]"}, {kAtt}},
                                           {"pause", 2.5, [](SwipeFixture &f) { f.swipeAt(1.0); },
                                            {kAtt, "(", "Z", "[", "\\", "]", "L", "l", "("}, {kAtt}, 0.6, 0.1}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5},
          {"prepare silent", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5},
          {"silent", {kAtt, "(", "L", kAtt}, -1}}},
        {"save", make<cfrmEncodeWF>(), none, 0.1,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kReset, kSwipe, kCodes, kBpi, kRead}, {kReset}},
                                          {"next swipe wait", 4.0, swipeAt2, {kReset, kSwipe, kCodes, kBpi, kRead, kRead}, {kReset}}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, "L", "L", "P"}, {kAtt}},
                                           {"next swipe wait", 4.0, swipeAt2, {kAtt, "L", "L", "P", "Q", "R", "S", "L", "P"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1}, {"prepare", {kAtt, "L", "M", "m", kAtt}, 3}, {"silent", {kAtt, "L", "M", "m", kAtt}, 3}}},
        {"encode from file", make<EncodeFromFile>(), none, 0.1,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kReset, kCodes, kBpi, writeAbc}, {kAtt, kReset}},
                                          {"pause", 2.8, swipeAt2, {kReset, kCodes, kBpi, writeAbc}, {kAtt}}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, "(", "A", "ABC\x04", "B", "123\x04", "@"}, {kAtt, kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1}, {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5}, {"silent", {kAtt, "(", "L", kAtt}, -1}},
         countMessages, swipeOnce, true},
        {"incremental", [](SwipeFixture &f) -> SwipeWindow * { return new cfrmWriteIncr(f.connection, series(), &f.records, &f.records); }, none, 0.1,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kSwipe, kCodes, kBpi, writeA1}, {kReset}},
                                          {"pause", 2.3, swipeAt2, {kSwipe, kCodes, kBpi, writeA1}, {}, 0.6}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, "(", "A", "A1\x04", "@"}, {kAtt}},
                                           {"pause", 2.3, swipeAt2, {kAtt, "(", "A", "A1\x04", "@", "L", "l", "("}, {kAtt}, 0.6}}}},
         {{"attention", {kAtt, kAtt}, 1, "Incremental Encode Write Error", "sfrmWriteErr"},
          {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5}, {"silent", {kAtt, "(", "L", kAtt}, -1}}},
        {"non-ISO read", [](SwipeFixture &f) -> SwipeWindow * { return new nfrmReadCard(f.connection, NonIso::Selection{}, &f.records); },
         none, 0.1,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kReset, kIdle, hex("1B 52 11 02 03")}, {kReset, kOff, kIdle}, 0.1, 2.1}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, "L", "P"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1, "Non-ISO Read Swipe Error"}},
         [](SwipeFixture &f, SwipeWindow &) {
             return int(std::count_if(f.shown.begin(), f.shown.end(),
                                      [](const SwipeFixture::Shown &s) { return s.className == "nfrmReadStdFmt"; }));
         }},
        {"non-ISO write", [](SwipeFixture &f) -> SwipeWindow * { return new nfrmSwipeWrite(f.connection, nonIsoJob(), &f.records); },
         none, 0.1,
         {{DialectId::Hkd382, QList<Wait>{{"swipe wait", 2.0, none, {kSwipe, kBpi, kCodes, nonIsoAbc}, {kReset}, 0.1, 0.35}}},
          {DialectId::Vnt290b, QList<Wait>{{"swipe wait", 2.0, none, {kAtt, ";11", ";20", ";31", "a1", "ABC\x04", "@"}, {kAtt}},
                                           {"settle after the card", 2.2, swipeAt2, {kAtt, ";11", ";20", ";31", "a1", "ABC\x04", "@", "l"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1, "Non-ISO Read Swipe Error"}, {"silent", {kAtt, ";11", kAtt}, -1}},
         [](SwipeFixture &, SwipeWindow &w) { return static_cast<CardPromptWindow &>(w).LC->text().toInt() - 1; }},
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
Q_DECLARE_METATYPE(Wait)
Q_DECLARE_METATYPE(StartRefusal)
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
                if (!row.waits.contains(d.id))  // a dialect the window's rows forgot
                    qFatal("%s: no waits for %s", row.name, d.name);
                for (const Wait &wait : row.waits[d.id]) {
                    if (!closeWays) {
                        QTest::addRow("%s %s %s", row.name, d.name, wait.name) << row << d.id << wait << CloseBy::Cancel;
                        continue;
                    }
                    for (auto [how, label] : {std::pair{CloseBy::Cancel, "Cancel"}, {CloseBy::Escape, "Escape"},
                                              {CloseBy::CloseBox, "close box"}})
                        QTest::addRow("%s %s %s, %s", row.name, d.name, wait.name, label) << row << d.id << wait << how;
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
                QTest::addRow("%s %s", row.name, d.name) << row << d.id;
    }
    // A port that cannot be opened: one communication-failure report, nothing sent, the window
    // closes without a swipe error window.
    void portCannotOpen()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        Run r(window, dialect);
        r.f.sim.vanishPort();
        r.f.run(r.open(window), 60.0);
        r.f.verifyPortFailureReport(*r.w, 0, window.noPortEndsBefore);
    }

    void portLostInWait_data() { waitRows(false); }
    // The port goes away in a wait: one report, nothing more sent, the window closes at once.
    void portLostInWait()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        QFETCH(Wait, wait);
        Run r(window, dialect);
        if (wait.script)
            wait.script(r.f);
        r.f.at(wait.at, [&] { r.f.sim.vanishPort(); });
        r.f.run(r.open(window), 60.0);
        QVERIFY2(r.f.writes() == wait.before, qPrintable(r.f.timeline()));
        r.f.verifyPortFailureReport(*r.w, int(wait.before.size()), wait.at + wait.within);
    }

    void closedInWait_data() { waitRows(true); }
    // Closed in a wait: no message window, the closing sequence once and at once, nothing after
    // it, the port closed and the encoder not left waiting for a swipe.
    void closedInWait()
    {
        QFETCH(WindowRow, window);
        QFETCH(DialectId, dialect);
        QFETCH(Wait, wait);
        QFETCH(CloseBy, how);
        Run r(window, dialect);
        if (wait.script)
            wait.script(r.f);
        SwipeWindow &w = r.open(window);
        switch (how) {
        case CloseBy::Cancel: r.f.clickAt(wait.at, &w); break;
        case CloseBy::Escape: r.f.escapeAt(wait.at, &w); break;
        case CloseBy::CloseBox: r.f.closeAt(wait.at, &w); break;
        }
        r.f.closeAt(wait.at + 0.02, &w);  // impatient: the close box again while the closing runs
        r.f.run(w);
        QVERIFY(!r.f.timedOut);
        QVERIFY2(r.f.writes() == wait.before + wait.closing, qPrintable(r.f.timeline()));
        QVERIFY(r.f.shown.isEmpty());
        QVERIFY(!w.isVisible());
        QVERIFY(window.portClosesWithWindow || !w.session().portOpen());
        QVERIFY(!r.f.sim.awaitingSwipe());
        if (!wait.script) {  // closed before any swipe: the card as it was, the message box empty
            QCOMPARE(r.f.sim.cardInSlot().tracks[0].chars, Simulator::defaultDeck().at(0).tracks[0].chars);
            QCOMPARE(r.f.records.message(), QString());
        }
        if (!wait.closing.isEmpty()) {
            const double closedAt = r.f.writeTimes()[wait.before.size()];
            QVERIFY2(closedAt >= wait.at - 1e-9 && closedAt < wait.at + 0.015, qPrintable(r.f.timeline()));
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
            for (const StartRefusal &refusal : row.refusals)
                QTest::addRow("%s %s", row.name, refusal.fault) << row << refusal;
    }
    // VNT-290B: Attention answered with garbage, the first command after it not acknowledged
    // ("prepare": a wrong answer; "prepare silent": none), a silent encoder (Cancel at 10 s;
    // "silent, Cancel": at 1 s). The read error window (after the error indication when the
    // start got as far as its first command), then the window closes; nothing but the closing
    // sequence follows, and no error window stands over a closed window.
    void refusedStart()
    {
        QFETCH(WindowRow, window);
        QFETCH(StartRefusal, refusal);
        const QString fault = refusal.fault;
        Run r(window, DialectId::Vnt290b);
        if (fault == "attention")
            r.f.sim.setNextReply("?");
        else if (fault.startsWith("prepare"))
            r.f.at(0.1, [&] { r.f.sim.setNextReply(fault == "prepare" ? "x" : ""); });
        else
            r.f.sim.setSilent(true);
        SwipeWindow &w = r.open(window);
        r.f.clickAt(fault == "silent, Cancel" ? 1.0 : 10.0, &w);
        r.f.swipeAt(2.0);
        r.f.run(w);
        QVERIFY2(r.f.writes() == refusal.expected, qPrintable(r.f.timeline()));
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
                    QTest::addRow("%s %s %s", row.name, d.name, label) << row << d.id << fault;
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
