// The trace a support person asks for hides the cards: each track data byte is written "..",
// every other byte of the exchange stays readable, and --trace-card-data shows the data as it
// went. Both dialects, read and write, ISO and non-ISO.
#include "Dialects.h"
#include "ScriptedLink.h"
#include "SwipeFixture.h"
#include "dialect/Dialect.h"
#include "dialect/TraceMaskers.h"
#include "device/TraceLink.h"
#include "iso/cfrmReadCard.h"
#include "iso/cfrmWriteCard.h"
#include "noniso/nfrmReadCard.h"
#include "noniso/nfrmSwipeWrite.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace NonIso;

namespace {

// One chunk of a masker row: "> 1B 77 *42" sent, "< ..." received; "*" marks a data byte.
struct Chunk {
    bool sent = true;
    QByteArray bytes;
    std::vector<bool> data;
};

Chunk parseChunk(const QString &text)
{
    Chunk c;
    c.sent = text.startsWith('>');
    for (const QString &token : text.mid(1).split(' ', Qt::SkipEmptyParts)) {
        const bool data = token.startsWith('*');
        c.bytes += char(token.mid(data ? 1 : 0).toInt(nullptr, 16));
        c.data.push_back(data);
    }
    return c;
}

// The chunks' flags as the trace ends up with them: a byte revealed later is shown.
struct Fed {
    QList<std::vector<bool>> hidden;
    int lastReceived = -1;
    void add(CardDataMasker &m, bool sent, QByteArrayView bytes, bool sameChunk = false)
    {
        std::vector<bool> h = sent ? m.sent(bytes) : m.received(bytes);
        if (m.revealsLastReceived() && lastReceived >= 0)
            hidden[lastReceived].back() = false;
        if (sameChunk)
            hidden.back().insert(hidden.back().end(), h.begin(), h.end());
        else
            hidden << h;
        if (!sent && !bytes.isEmpty())
            lastReceived = int(hidden.size() - 1);
    }
};

QString flags(const std::vector<bool> &v)
{
    QString s;
    for (bool b : v)
        s += b ? '*' : '.';
    return s;
}

// A trace's lines, without the spaces that right-align the times.
QStringList traceLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (!line.isEmpty())
            out << QString::fromLatin1(line).mid(int(line.size() - line.trimmed().size()));
    return out;
}

// The direction and bytes of a trace's "<" and ">" lines as tokens (".." hidden, "xN" a run's
// count), one list per line.
QList<QStringList> traffic(const QString &path, QString *first = nullptr)
{
    const QStringList lines = traceLines(path);
    if (first)
        *first = lines.value(0);
    QList<QStringList> out;
    for (const QString &line : lines) {
        const QStringList tokens = line.left(line.indexOf("  |")).split(' ', Qt::SkipEmptyParts);
        if (tokens.size() >= 2 && (tokens[1] == ">" || tokens[1] == "<"))
            out << tokens.mid(1);
    }
    return out;
}

const QString kHiddenHeader = "0.0 * vnt410 9.9, trace started 2025-03-04T05:06:07+01:00; track data hidden: each of "
                              "its bytes is written as .. (# in the text)";
const QString kShownHeader = "0.0 * vnt410 9.9, trace started 2025-03-04T05:06:07+01:00; track data shown as sent and "
                             "received (--trace-card-data)";

WriteJob job(bool standard, const std::array<QByteArray, 3> &data)
{
    WriteJob j;
    j.standardFormat = standard;
    for (int t = 0; t < 3; ++t)
        j.tracks[size_t(t)] = {data[size_t(t)], standard ? standardItems().at(t) : Raw5Item, DefaultDensities[size_t(t)]};
    return j;
}

} // namespace

class TraceTest : public QObject {
    Q_OBJECT

    // Runs one operation window over the simulator with every link traced into `path`.
    static void runTraced(DialectId dialect, const QString &op, TraceCardData cardData, const QString &path)
    {
        SwipeFixture f(dialect);
        f.sim.insertCard(Simulator::sampleStack()[0]);
        auto trace = std::make_shared<TraceFile>(f.vp, cardData);
        QVERIFY(trace->open(path, "vnt410-utility 0"));
        const Connection &c = f.connection;
        f.connection.links = tracedLinks(f.sim.links(), trace, [](DialectId d) { return dialectFor(d).cardDataMasker(); });
        std::unique_ptr<QDialog> w;
        if (op == "read") {
            w = std::make_unique<cfrmReadCard>(c, &f.records, &f.records);
        } else if (op == "write") {
            w = std::make_unique<cfrmWriteCard>(c, Iso::Tracks{"B123^DOE/J^", "4000=3012", "0140=7247"}, &f.records,
                                                &f.records);
        } else if (op == "non-ISO read") {
            w = std::make_unique<nfrmReadCard>(c, Selection{});
        } else if (op == "non-ISO raw read") {
            w = std::make_unique<nfrmReadCard>(c, Selection{false, {Raw7Item, Raw5Item, Raw5Item}});
        } else if (op == "non-ISO write") {
            w = std::make_unique<nfrmSwipeWrite>(c, job(true, {"AB12", "", "987"}));
        } else if (op == "non-ISO raw write") {
            w = std::make_unique<nfrmSwipeWrite>(c, job(false, {QByteArray("\x01\x1b\x1f\x3f\x0b", 5), "", "\x13\x05"}));
        }
        f.swipeAt(2.0);
        f.clickAt(6.0, w.get());
        f.run(*w);
        QVERIFY(!f.timedOut);
    }

private slots:
    // What the masker hides, chunk by chunk; and, for every chunk cut in two at every place
    // (a reply in pieces), every data byte still hidden and every HKD382 ESC still shown.
    void masker_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QStringList>("chunks");
        QTest::newRow("HKD382 read reply") << DialectId::Hkd382 << QStringList{
            "> 1B 72", "< 1B 73 1B 01 25 *42 *31 *32 *33 3F 1B 02 3B 2B 1B 03 3B *34 *35 *36 3F 3F 1C 1B 30"};
        QTest::newRow("HKD382 read reply, track 1 empty, track 3 empty") << DialectId::Hkd382 << QStringList{
            "> 1B 72", "< 1B 73 1B 01 25 2B 1B 02 3B *31 *32 *3D *33 *34 3F 1B 03 3B 2B 3F 1C 1B 30"};
        QTest::newRow("HKD382 read reply with a failed status, then a write reply") << DialectId::Hkd382 << QStringList{
            "< 1B 73 1B 01 25 *41 3F 1B 02 3B *2A 3F 1B 03 3B *2A 3F 3F 1C 1B 31", "< 1B 30"};
        QTest::newRow("HKD382 unknown bytes after track 3 and outside a reply") << DialectId::Hkd382 << QStringList{
            "< 1B 73 1B 01 25 *41 3F 1B 02 3B 2B 1B 03 3B *31 3F *07 3F 1C 1B 30", "< *41 *42 1B 30"};
        QTest::newRow("HKD382 ISO write block") << DialectId::Hkd382 << QStringList{
            "> 1B 77 1B 73 1B 01 *42 *31 *32 *33 1B 02 1B 03 *34 *3F *36 3F 1C", "< 1B 30", "> 1B 61"};
        QTest::newRow("HKD382 non-ISO write block and read command") << DialectId::Hkd382 << QStringList{
            "> 1B 57 1B 73 1B 11 *41 *42 1B 12 1B 13 3F 1C", "> 1B 52 11 02 03"};
        QTest::newRow("HKD382 commands with parameters") << DialectId::Hkd382 << QStringList{
            "> 1B 63 05", "> 1B 5A 3D 16 3D", "> 1B 6A D2 4B D2", "< 1B 30", "> 6C", "> 7F"};
        QTest::newRow("VNT-290B ISO read") << DialectId::Vnt290b << QStringList{
            "> 50", "< 5E", "< 5E", "> 51", "< *42 *31", "> 52", "< 2B", "> 53", "< *34 *5E", "> 4C", "< 5E"};
        // A lone "+" or "*" is the answer's status, once the next command shows nothing followed.
        QTest::newRow("VNT-290B empty and unreadable tracks, data that begins with + or *") << DialectId::Vnt290b << QStringList{
            "> 51", "< 2B", "> 52", "< 2A", "> 53", "< *2B", "< *31", "> 71 31", "< *2A *41", "> 4C", "< 5E"};
        QTest::newRow("VNT-290B track bytes arriving after the next command") << DialectId::Vnt290b << QStringList{
            "> 53", "< *34", "> 4C", "< *35 5E", "> 4D", "< 5E"};
        QTest::newRow("VNT-290B ISO write") << DialectId::Vnt290b << QStringList{
            "> 41", "< 5E", "> *42 *31 04", "< 5E", "> 43", "< 5E", "> *30 *40 04", "< 5E", "> 40", "< 5E", "< 5E"};
        QTest::newRow("VNT-290B announcement refused") << DialectId::Vnt290b << QStringList{"> 41", "< 21", "> 6C", "< 5E", "> 7F", "< 3A"};
        QTest::newRow("VNT-290B raw write with its lead-in") << DialectId::Vnt290b << QStringList{
            "> 45 35", "< 5E", "> 00", "> 00", "> *01 *1B *1F 04", "< 5E", "> 40", "< 5E"};
        QTest::newRow("VNT-290B non-ISO reads") << DialectId::Vnt290b << QStringList{
            "> 71 31", "< *41 *42", "> 55 35", "< *01 *0B", "> 4C", "< 5E"};
        QTest::newRow("VNT-290B settings") << DialectId::Vnt290b << QStringList{"> 3B 31 31", "< 5E", "> 7B", "< 5E", "> 7F", "< 3A"};
    }
    void masker()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QStringList, chunks);
        const auto make = [dialect] { return dialectFor(dialect).cardDataMasker(); };
        QList<Chunk> parsed;
        for (const QString &c : chunks)
            parsed << parseChunk(c);

        Fed whole;
        auto m = make();
        for (const Chunk &c : parsed)
            whole.add(*m, c.sent, c.bytes);
        for (int i = 0; i < parsed.size(); ++i)
            QCOMPARE(flags(whole.hidden[i]), flags(parsed[i].data));

        for (int cut = 0; cut < parsed.size(); ++cut) {
            for (qsizetype at = 1; at < parsed[cut].bytes.size(); ++at) {
                auto m = make();
                Fed fed;
                for (int i = 0; i < parsed.size(); ++i) {
                    const Chunk &c = parsed[i];
                    if (i == cut) {
                        fed.add(*m, c.sent, QByteArrayView(c.bytes).first(at));
                        fed.add(*m, c.sent, QByteArrayView(c.bytes).sliced(at), true);
                    } else {
                        fed.add(*m, c.sent, c.bytes);
                    }
                }
                for (int i = 0; i < parsed.size(); ++i) {
                    const Chunk &c = parsed[i];
                    const std::vector<bool> &hidden = fed.hidden[i];
                    QCOMPARE(hidden.size(), c.data.size());
                    for (size_t b = 0; b < hidden.size(); ++b) {
                        if (c.data[b])
                            QVERIFY2(hidden[b], qPrintable(QStringLiteral("chunk %1 cut at %2: byte %3 shown").arg(i).arg(at).arg(b)));
                        if (dialect == DialectId::Hkd382 && c.bytes[qsizetype(b)] == 0x1B)
                            QVERIFY2(!hidden[b], qPrintable(QStringLiteral("chunk %1 cut at %2: ESC hidden").arg(i).arg(at)));
                    }
                }
            }
        }
    }

    // The trace line by line: the first line, each opening, the text column, the runs folded.
    // Steps: "open SETTINGS", "> HEX" written, "< HEX" received, "+MS" time passing.
    void lines_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        const QString hkd = "0.0 * open port 1, HKD382, 9600 baud, no parity, 8 data bits, 1 stop bit: ok";
        const QString vnt = "0.0 * open port 1, VNT-290B, 9600 baud, no parity, 8 data bits, 1 stop bit: ok";
        QTest::newRow("card data shown, other line settings") << DialectId::Vnt290b << true
            << QStringList{"+2.5", "open 19200,e,7,2"}
            << QStringList{kShownHeader, "2.5 * open port 1, VNT-290B, 19200 baud, even parity, 7 data bits, 2 stop bits: ok"};
        QTest::newRow("text column, track data hidden") << DialectId::Hkd382 << false
            << QStringList{"open 9600,n,8,1", "> 20 7E 7F 80 FF", "< 1B 73 1B 01 25 42 31 3F 1B 02 3B 2B 1B 03 3B 2B 3F 1C 1B 30"}
            << QStringList{kHiddenHeader, hkd, "0.0 > 20 7E 7F 80 FF  | ~...|",
                           "0.0 < 1B 73 1B 01 25 .. .. 3F 1B 02 3B 2B 1B 03 3B 2B 3F 1C 1B 30  |.s..%##?..;+..;+?..0|"};
        QTest::newRow("lone + shown in place once the next command goes out") << DialectId::Vnt290b << false
            << QStringList{"open 9600,n,8,1", "> 52", "< 2B", "> 53", "< 2A 31", "> 4C"}
            << QStringList{kHiddenHeader, vnt, "0.0 > 52  |R|", "0.0 < 2B  |+|", "0.0 > 53  |S|", "0.0 < .. ..  |##|",
                           "0.0 > 4C  |L|"};
        // A count of hidden bytes would tell that the card holds the same character twice.
        QTest::newRow("NUL lead-in in one line, hidden bytes never") << DialectId::Vnt290b << false
            << QStringList{"open 9600,n,8,1", "> 45 35", "< 5E", "> 00", "> 00", "> 00", "> 00", "> 00", "> 00", "> 01", "> 01", "> 04"}
            << QStringList{kHiddenHeader, vnt, "0.0 > 45 35  |E5|", "0.0 < 5E  |^|", "0.0 > 00 x6  |.|", "0.0 > ..  |#|",
                           "0.0 > ..  |#|", "0.0 > 04  |.|"};
        QTest::newRow("run split 0.9 ms apart; broken by 1.5 ms, a reply, another byte") << DialectId::Vnt290b << false
            << QStringList{"open 9600,n,8,1", "+1", "> 00 00 00", "+0.9", "> 00 00", "+1.5", "> 00", "< 5E", "> 00", "> 01"}
            << QStringList{kHiddenHeader, vnt, "1.0 > 00 x5  |.|", "3.4 > 00  |.|", "3.4 < 5E  |^|", "3.4 > 00  |.|",
                           "3.4 > 01  |.|"};
    }
    void lines()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, shown);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        VirtualPacer clock(100.0);
        auto trace = std::make_shared<TraceFile>(clock, shown ? TraceCardData::Shown : TraceCardData::Hidden);
        QVERIFY(trace->open(dir.filePath("t.trace"), "vnt410 9.9", QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7), QTimeZone(3600))));
        auto end = std::make_shared<ScriptedEnd>();
        end->clock = &clock;
        TraceLink link(std::make_unique<ScriptedLink>(end), trace, dialect, [dialect] { return dialectFor(dialect).cardDataMasker(); });
        for (const QString &step : steps) {
            const Chunk c = parseChunk(step);
            if (step.startsWith("open "))
                QVERIFY(link.open(1, step.mid(5)));
            else if (step.startsWith('+'))
                clock.advance(step.mid(1).toDouble() / 1000.0);
            else if (c.sent)
                QVERIFY(link.write(c.bytes));
            else {
                end->deliverAt(clock.now(), c.bytes);
                QCOMPARE(link.takeAll(), c.bytes);
            }
        }
        QCOMPARE(traceLines(dir.filePath("t.trace")), expected);
    }

    // A window's whole run traced twice: with the card data hidden and shown. The two traces
    // differ exactly in the ".." bytes, and those are the track data, as often as it went over
    // the line, and nothing else.
    void windows_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("data"); // one card's track bytes, in the order they travel
        const SimCard anna = Simulator::sampleStack()[0];
        QByteArray iso, raw;
        for (int t = 1; t <= 3; ++t) {
            iso += Simulator::readTrack(anna.tracks[size_t(t - 1)], t, t == 1 ? 7 : 5, false);
            raw += Simulator::readTrack(anna.tracks[size_t(t - 1)], t, t == 1 ? 7 : 5, true);
        }
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s read", d.name) << d.id << "read" << iso;
            QTest::addRow("%s write", d.name) << d.id << "write" << QByteArray("B123^DOE/J^4000=30120140=7247");
            QTest::addRow("%s non-ISO read", d.name) << d.id << "non-ISO read" << iso;
            QTest::addRow("%s non-ISO write", d.name) << d.id << "non-ISO write" << QByteArray("AB12987");
        }
        QTest::addRow("VNT-290B non-ISO raw read") << DialectId::Vnt290b << "non-ISO raw read" << raw;
        QTest::addRow("VNT-290B non-ISO raw write") << DialectId::Vnt290b << "non-ISO raw write"
                                                     << QByteArray("\x01\x1b\x1f\x3f\x0b\x13\x05", 7);
    }
    void windows()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QString, op);
        QFETCH(QByteArray, data);
        QTemporaryDir dir;
        const QString hiddenPath = dir.filePath("hidden.trace"), shownPath = dir.filePath("shown.trace");
        runTraced(dialect, op, TraceCardData::Hidden, hiddenPath);
        if (QTest::currentTestFailed())
            return;
        runTraced(dialect, op, TraceCardData::Shown, shownPath);
        if (QTest::currentTestFailed())
            return;

        QString hiddenFirst, shownFirst;
        const QList<QStringList> hidden = traffic(hiddenPath, &hiddenFirst), shown = traffic(shownPath, &shownFirst);
        QVERIFY(hiddenFirst.endsWith("; track data hidden: each of its bytes is written as .. (# in the text)"));
        QVERIFY(shownFirst.endsWith("; track data shown as sent and received (--trace-card-data)"));
        QCOMPARE(hidden.size(), shown.size());
        QByteArray masked;
        for (int i = 0; i < hidden.size(); ++i) {
            QCOMPARE(hidden[i].size(), shown[i].size());
            for (int k = 0; k < hidden[i].size(); ++k) {
                QVERIFY(shown[i][k] != "..");
                if (hidden[i][k] == "..")
                    masked += char(shown[i][k].toInt(nullptr, 16));
                else
                    QCOMPARE(hidden[i][k], shown[i][k]);
            }
        }
        QVERIFY2(!masked.isEmpty() && masked.size() % data.size() == 0 && masked == data.repeated(masked.size() / data.size()),
                 qPrintable(QString::fromLatin1(masked.toHex(' '))));
    }

    // A trace that is to hide card data and was given no masker hides every byte.
    void noMaskerHidesAll()
    {
        QTemporaryDir dir;
        VirtualPacer clock;
        auto trace = std::make_shared<TraceFile>(clock);
        QVERIFY(trace->open(dir.filePath("t.trace"), "vnt410-utility 0"));
        auto end = std::make_shared<ScriptedEnd>();
        end->clock = &clock;
        end->onWrite = [&](const QByteArray &) { end->reply("\x1b" "0", 0.0); };
        TraceLink link(std::make_unique<ScriptedLink>(end), trace, DialectId::Hkd382);
        QVERIFY(link.open(1, "9600,n,8,1"));
        QVERIFY(link.write("\x1b\x72"));
        QCOMPARE(link.takeAll(), QByteArray("\x1b" "0"));
        const QList<QStringList> lines = traffic(dir.filePath("t.trace"));
        QCOMPARE(lines, (QList<QStringList>{{">", "..", ".."}, {"<", "..", ".."}}));
    }
};

QTEST_MAIN(TraceTest)
#include "tst_trace.moc"
