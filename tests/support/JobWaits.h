#pragma once
// Every job's waits and refused starts, in every dialect: the headless suite checks there what
// the encoder receives; the swipe window contract closes each window in the same waits.
#include "HeadlessBench.h"
#include "card/TrackBlock.h"
#include "dialect/Commands.h"

#include <QMap>
#include <functional>

// What the encoder and the operator do before a moment of a run.
using SimScript = std::function<void(VirtualPacer &, Simulator &)>;

// One wait of a job: the script up to it (none: no card is swiped), the moment `at` inside it,
// what the encoder has received by then, what follows when the job is closed there, how soon
// after `at` a lost port ends the window, and how soon a close does (if that differs: the
// closing sequence may take its time).
struct Wait {
    const char *name;
    double at;
    SimScript script;
    Bytes before;
    Bytes closing;
    double within = 0.1;
    double closedWithin = -1;
};

// A start the VNT-290B encoder refuses: what the encoder receives, and how many writes it had
// received when the read error was reported (-1: none is).
struct StartRefusal {
    const char *fault;
    Bytes expected;
    int errorAfter;
    const char *title = "Read Swipe Error";
    const char *className = "sfrmReadErr";
};

// The fault of a refused start, from the start on.
inline void refuseStart(VirtualPacer &vp, Simulator &sim, const QByteArray &fault)
{
    if (fault == "attention")
        sim.setNextReply("?");
    else if (fault.startsWith("prepare"))
        vp.at(0.1, [&sim, fault] { sim.setNextReply(fault == "prepare" ? "x" : ""); });
    else
        sim.setSilent(true);
}
// When the operator cancels a refused start.
inline double refusalCancelAt(const QByteArray &fault) { return fault == "silent, Cancel" ? 1.0 : 10.0; }

struct JobRow {
    const char *name;
    Job job;
    double noPortEndsBefore;        // a port that cannot be opened: the run ends before this
    QMap<DialectId, QList<Wait>> waits; // every dialect's
    QList<StartRefusal> refusals;   // VNT-290B
    bool portClosesWithRun = true;  // false: its last exchange after a Cancel re-opens the port
};

Q_DECLARE_METATYPE(Wait)
Q_DECLARE_METATYPE(StartRefusal)
Q_DECLARE_METATYPE(const JobRow *)

inline const QList<JobRow> &jobRows()
{
    const QByteArray kB123 = QByteArray("B123") + char(4);
    const QByteArray t1 = "B4000123456789010^SAMPLE/CARD HOLDER^30121010000000000000";
    const QByteArray t2 = "4000123456789010=30121010000000000";
    const QByteArray t3 = "014000123456789010=724724100000000000030300000000000000000000000000000000000000000000000000000";
    const SimScript none;
    const SimScript swipeAt2 = [](VirtualPacer &vp, Simulator &sim) { vp.at(2.0, [&sim] { sim.swipe(); }); };
    const SimScript swipeAt1 = [](VirtualPacer &vp, Simulator &sim) { vp.at(1.0, [&sim] { sim.swipe(); }); };
    const SimScript swipeThenBlank = [](VirtualPacer &vp, Simulator &sim) {
        vp.at(2.0, [&sim] { sim.swipe(); });
        vp.at(3.5, [&sim] { sim.selectCard(2); });
        vp.at(4.0, [&sim] { sim.swipe(); });
    };
    const QByteArray writeAbc = hex("1B 77 1B 73 1B 01 41 42 43 1B 02 31 32 33 1B 03 3F 1C");
    const QByteArray writeA1 = hex("1B 77 1B 73 1B 01 41 31 1B 02 1B 03 3F 1C");
    const QByteArray nonIsoAbc = hex("1B 57 1B 73 1B 11 41 42 43 1B 12 1B 13 3F 1C");
    const Bytes bankWrite{hex("1B 77") + Iso::BuildWriteBlock(t1, t2, t3)};
    const Bytes copyRead{kReset, kCodes, kBpi, kRead, kReset};
    Batch::IncrementSeries series;
    series.TrackData = {"A", "", ""};
    series.CurrentNumber = 1;
    series.IncrementStep = 1;
    series.IncrementRemaining = 50;
    NonIso::WriteJob nonIso;
    nonIso.tracks[0] = {"ABC", NonIso::StdT1Item, NonIso::Density::Bpi210};
    nonIso.tracks[1] = {"", NonIso::StdT2Item, NonIso::Density::Bpi75};
    nonIso.tracks[2] = {"", NonIso::StdT3Item, NonIso::Density::Bpi210};
    using Waits = QList<Wait>;
    static const QList<JobRow> rows{
        {"read", Job{.kind = JobKind::Read}, 2.5,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kReset, kSwipe, kRead}, {kReset, kOff, kIdle}, 0.1, 2.1}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, "L", "L", "P"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "L", "M", "m", kAtt}, 3},
          {"silent", {kAtt, "L", "M", "m", kAtt}, 3},
          {"silent, Cancel", {kAtt, kAtt}, -1}}},
        {"write", Job{.kind = JobKind::Write, .tracks = {"B123", "", ""}}, 0.1,
         {{DialectId::Hkd382, Waits{{"before the command", 0.6, none, {kSwipe, kCodes, kBpi}, {}, 0.25},
                                    {"swipe wait", 2.0, none, {kSwipe, kCodes, kBpi, kWriteB123}, {kReset}}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, "(", "A", kB123, "@"}, {kAtt}},
                                     {"settle after the card", 2.2, swipeAt2, {kAtt, "(", "A", kB123, "@", "("}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5},
          {"silent", {kAtt, "(", "L", kAtt}, -1}}},
        {"copy", Job{.kind = JobKind::Copy}, 10.0,
         {{DialectId::Hkd382, Waits{{"read wait", 1.5, none, {kReset, kCodes, kBpi, kRead}, {kReset}, 0.5},
                                    {"before the write", 2.8, swipeThenBlank, copyRead, {}, 0.5},
                                    {"write wait", 3.5, swipeThenBlank, copyRead + bankWrite, {kReset}, 0.5},
                                    {"before the read", 4.3, swipeThenBlank, copyRead + bankWrite, {}, 0.5}}},
          {DialectId::Vnt290b, Waits{{"before P", 0.6, none, {kAtt, "L"}, {kAtt}, 0.5},
                                     {"read wait", 1.5, none, {kAtt, "L", "P"}, {kAtt}, 0.5},
                                     {"write wait", 3.5, swipeThenBlank,
                                      {kAtt, "L", "P", "Q", "R", "S", "A", t1 + char(4), "B", t2 + char(4), "C", t3 + char(4), "@"},
                                      {kAtt}, 0.5}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "L", "M", "m", kAtt}, 3},
          {"silent", {kAtt, "L", "M", "m", kAtt}, 3}}},
        {"erase", Job{.kind = JobKind::Erase, .eraseMask = 7}, 2.0,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kReset, kSwipe, Cmd::Hkd::eraseTracks(7)}, {kReset}},
                                    {"pause", 2.5, swipeAt1, {kReset, kSwipe, Cmd::Hkd::eraseTracks(7)}, {kReset}, 1.5, 0.1},
                                    {"before the next erase", 3.4, swipeAt1, {kReset, kSwipe, Cmd::Hkd::eraseTracks(7)}, {kReset}, 0.6}}},
          {DialectId::Vnt290b, Waits{{"start", 0.01, none, {kAtt}, {kAtt}},
                                     {"swipe wait", 2.0, none, {kAtt, "(", "Z", "[", "\\", "]"}, {kAtt}},
                                     {"pause", 2.5, swipeAt1, {kAtt, "(", "Z", "[", "\\", "]", "L", "l", "("}, {kAtt}, 0.6, 0.1}}}},
         {{"attention", {kAtt, kAtt}, 1},
          {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5},
          {"prepare silent", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5},
          {"silent", {kAtt, "(", "L", kAtt}, -1}}},
        {"save", Job{.kind = JobKind::Save}, 0.1,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kReset, kSwipe, kCodes, kBpi, kRead}, {kReset}},
                                    {"next swipe wait", 4.0, swipeAt2, {kReset, kSwipe, kCodes, kBpi, kRead, kRead}, {kReset}}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, "L", "L", "P"}, {kAtt}},
                                     {"next swipe wait", 4.0, swipeAt2, {kAtt, "L", "L", "P", "Q", "R", "S", "L", "P"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1}, {"prepare", {kAtt, "L", "M", "m", kAtt}, 3}, {"silent", {kAtt, "L", "M", "m", kAtt}, 3}}},
        {"encode from file",
         Job{.kind = JobKind::Encode, .records = "ABC|123|\r\nDEF|456|\r\nGHI|789|\r\nJKL|012|\r\nMNO|345|\r\n"}, 0.1,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kReset, kCodes, kBpi, writeAbc}, {kAtt, kReset}},
                                    {"pause", 2.8, swipeAt2, {kReset, kCodes, kBpi, writeAbc}, {kAtt}}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, "(", "A", "ABC\x04", "B", "123\x04", "@"}, {kAtt, kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1}, {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5}, {"silent", {kAtt, "(", "L", kAtt}, -1}},
         false},
        {"incremental", Job{.kind = JobKind::Incremental, .series = series}, 0.1,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kSwipe, kCodes, kBpi, writeA1}, {kReset}},
                                    {"pause", 2.3, swipeAt2, {kSwipe, kCodes, kBpi, writeA1}, {}, 0.6}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, "(", "A", "A1\x04", "@"}, {kAtt}},
                                     {"pause", 2.3, swipeAt2, {kAtt, "(", "A", "A1\x04", "@", "L", "l", "("}, {kAtt}, 0.6}}}},
         {{"attention", {kAtt, kAtt}, 1, "Incremental Encode Write Error", "sfrmWriteErr"},
          {"prepare", {kAtt, "(", "L", "l", "M", "m", kAtt}, 5}, {"silent", {kAtt, "(", "L", kAtt}, -1}}},
        {"non-ISO read", Job{.kind = JobKind::NonIsoRead}, 0.1,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kReset, kIdle, hex("1B 52 11 02 03")}, {kReset, kOff, kIdle}, 0.1, 2.1}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, "L", "P"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1, "Non-ISO Read Swipe Error"}}},
        {"non-ISO write", Job{.kind = JobKind::NonIsoWrite, .nonIsoWrite = nonIso}, 0.1,
         {{DialectId::Hkd382, Waits{{"swipe wait", 2.0, none, {kSwipe, kBpi, kCodes, nonIsoAbc}, {kReset}, 0.1, 0.35}}},
          {DialectId::Vnt290b, Waits{{"swipe wait", 2.0, none, {kAtt, ";11", ";20", ";31", "a1", "ABC\x04", "@"}, {kAtt}},
                                     {"settle after the card", 2.2, swipeAt2, {kAtt, ";11", ";20", ";31", "a1", "ABC\x04", "@", "l"}, {kAtt}}}}},
         {{"attention", {kAtt, kAtt}, 1, "Non-ISO Read Swipe Error"}, {"silent", {kAtt, ";11", kAtt}, -1}}},
    };
    return rows;
}

inline const JobRow &jobRow(const char *name)
{
    for (const JobRow &row : jobRows())
        if (qstrcmp(row.name, name) == 0)
            return row;
    qFatal("no job row %s", name);
}
