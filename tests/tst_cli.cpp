// The vnt410 program: in-process on virtual time against the simulator (the same bytes as the
// matching window, signals, the files, usage), and once as a process over a pseudo-terminal.
#include "Dialects.h"
#include "Pty.h"
#include "SwipeFixture.h"
#include "batch/cfrmEncodeRF.h"
#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "iso/cfrmReadCard.h"
#include "iso/cfrmWriteCard.h"
#include "iso/frmEraseCard.h"
#include "noniso/nfrmReadCard.h"
#include "noniso/nfrmSwipeWrite.h"
#include "operation/EncodeDataFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using Bytes = QList<QByteArray>;

namespace {

enum class Finish { None, Cancel, Sigint, Sigterm, VanishPort };

// An operator who swipes one second after the encoder began waiting for a card, `swipes`
// times (those counted in `bad` from 0 fail), then, at the next wait, finishes as told.
class AutoOperator {
public:
    AutoOperator(VirtualPacer &vp, Simulator &sim, int swipes, QSet<int> bad, std::function<void()> finish)
        : vp_(vp), sim_(sim), swipes_(swipes), bad_(std::move(bad)), finish_(std::move(finish))
    {
        vp_.after(0.05, [this] { look(); });
    }
    int swiped() const { return done_; }

private:
    void look()
    {
        if (sim_.awaitingSwipe()) {
            if (since_ < 0)
                since_ = vp_.now();
            if (vp_.now() - since_ >= 1.0 - 1e-9) {
                since_ = -1;
                if (done_ == swipes_) {
                    if (finish_)
                        finish_();
                    return;
                }
                sim_.setNextSwipeBad(bad_.contains(done_++));
                sim_.swipe();
            }
        } else {
            since_ = -1;
        }
        vp_.after(0.05, [this] { look(); });
    }
    VirtualPacer &vp_;
    Simulator &sim_;
    int swipes_;
    QSet<int> bad_;
    std::function<void()> finish_;
    int done_ = 0;
    double since_ = -1;
};

// One in-process run of the program, its streams kept.
struct CliRun {
    QBuffer out, err;
    int status = -1;
    QStringList outLines() const { return QString::fromUtf8(out.data()).split('\n', Qt::SkipEmptyParts); }
    QString errText() const { return QString::fromUtf8(err.data()); }
};

CliIo ioFor(CliRun &run, VirtualPacer &vp)
{
    run.out.open(QIODevice::WriteOnly);
    run.err.open(QIODevice::WriteOnly);
    CliIo io;
    io.out = &run.out;
    io.err = &run.err;
    io.pacer = &vp;
    io.later = [&vp](double seconds, std::function<void()> action) { vp.after(seconds, std::move(action)); };
    return io;
}

void runIn(SwipeFixture &f, CliRun &run, const QStringList &args)
{
    CliIo io = ioFor(run, f.vp);
    io.links = f.sim.links();
    run.status = runCli(QStringList{"vnt410"} + args, io);
}

QStringList withDialect(DialectId d, const QStringList &args)
{
    return QStringList{"--dialect", dialectName(d).toLower()} + args;
}

QList<QJsonObject> jsonLines(const CliRun &run)
{
    QList<QJsonObject> out;
    for (const QString &line : run.outLines()) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return {};
        out << doc.object();
    }
    return out;
}

QByteArray cardText(const SimCard &card, int track) { return card.tracks[size_t(track)].chars; }

const QByteArray kThreeRecords = "B1||\r\n|2|\r\nC3||33\r\n";

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

// Standard output that, at every result line, notes how many records the save file holds
// then and whether the file passes the encode-from-file check.
class FileWatchingOutput : public QIODevice {
public:
    explicit FileWatchingOutput(QString path) : path_(std::move(path)) { open(QIODevice::WriteOnly); }
    QList<int> recordsAtLine;
    QByteArray data;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *bytes, qint64 size) override
    {
        data.append(bytes, size);
        QFile file(path_);
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const EncodeDataFile::Check check = EncodeDataFile::check(content);
        recordsAtLine << (check.ok ? check.records : -1);
        return size;
    }

private:
    QString path_;
};

} // namespace

Q_DECLARE_METATYPE(Finish)

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void sameBytesAsWindow_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("swipes");
        QTest::addColumn<QSet<int>>("bad");
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("results"); // the result word of each line
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s read, a bad card between, SIGINT", d.name)
                << d.id << "read" << QStringList{"read"} << 3 << QSet<int>{1} << Finish::Sigint << 130
                << QStringList{"ok", "read-error", "ok"};
            QTest::addRow("%s write, SIGTERM", d.name)
                << d.id << "write" << QStringList{"write", "--track1", "b123", "--track2", "456"} << 2 << QSet<int>{}
                << Finish::Sigterm << 143 << QStringList{"ok", "ok"};
            QTest::addRow("%s write, a failed card retried", d.name)
                << d.id << "write" << QStringList{"write", "--track1", "b123", "--track2", "456"} << 2 << QSet<int>{0}
                << Finish::Sigint << 130 << QStringList{"write-error", "ok"};
            QTest::addRow("%s erase 1,3, SIGINT", d.name)
                << d.id << "erase" << QStringList{"erase", "--tracks", "1,3"} << 2 << QSet<int>{} << Finish::Sigint
                << 130 << QStringList{"ok", "ok"};
            QTest::addRow("%s non-ISO read, track 1 in the track 2 format", d.name)
                << d.id << "noniso-read" << QStringList{"noniso-read", "--t1", "std-t2"} << 2 << QSet<int>{}
                << Finish::Sigint << 130 << QStringList{"ok", "ok"};
            QTest::addRow("%s non-ISO write, a failed card retried", d.name)
                << d.id << "noniso-write" << QStringList{"noniso-write", "--t1", "std-t2", "--track1", "1234"} << 2
                << QSet<int>{0} << Finish::Sigint << 130 << QStringList{"write-error", "ok"};
            QTest::addRow("%s encode, a failed card retried, to the end", d.name)
                << d.id << "encode" << QStringList{"encode", "%file%"} << 4 << QSet<int>{1} << Finish::None << 0
                << QStringList{"ok", "write-error", "ok", "ok"};
        }
    }
    // The program sends the setup handshake, then byte for byte what the window sends for the
    // same cards; Ctrl-C or SIGTERM in the swipe wait acts as the window's Cancel.
    void sameBytesAsWindow()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QString, kind);
        QFETCH(QStringList, args);
        QFETCH(int, swipes);
        QFETCH(QSet<int>, bad);
        QFETCH(Finish, finish);
        QFETCH(int, status);
        QFETCH(QStringList, results);
        QTemporaryDir dir;
        const QString file = writeFile(dir, "cards.txt", kThreeRecords);
        args.replaceInStrings("%file%", file);

        Bytes handshake;
        {
            SwipeFixture f(dialect);
            CliRun run;
            runIn(f, run, withDialect(dialect, {"test"}));
            QCOMPARE(run.status, 0);
            handshake = f.writes();
        }

        Bytes window;
        {
            SwipeFixture f(dialect);
            if (kind == "encode")
                f.sim.setStack(Simulator::blankStack(5));
            f.records.setInput("B123", "456", "");
            EncodeDataFile::RecordTaker records(kThreeRecords);
            std::unique_ptr<QDialog> w;
            if (kind == "read")
                w = std::make_unique<cfrmReadCard>(f.connection, &f.records, &f.records);
            else if (kind == "write")
                w = std::make_unique<cfrmWriteCard>(f.connection, f.records.inputTracks(), &f.records, &f.records);
            else if (kind == "erase")
                w = std::make_unique<frmEraseCard>(f.connection, 5, &f.records, &f.records);
            else if (kind == "noniso-read")
                w = std::make_unique<nfrmReadCard>(f.connection, parseCli(QStringList{"vnt410"} + args, "0").selection, &f.records);
            else if (kind == "noniso-write")
                w = std::make_unique<nfrmSwipeWrite>(f.connection, parseCli(QStringList{"vnt410"} + args, "0").job, &f.records);
            else
                w = std::make_unique<cfrmEncodeRF>(f.connection, records, &f.records, &f.records);
            AutoOperator op(f.vp, f.sim, swipes, bad, [&f, &w] { f.clickAt(f.vp.now(), w.get()); });
            f.run(*w);
            QVERIFY(!f.timedOut);
            QCOMPARE(op.swiped(), swipes);
            window = f.writes();
        }

        SwipeFixture f(dialect);
        if (kind == "encode")
            f.sim.setStack(Simulator::blankStack(5));
        const int signal = finish == Finish::Sigterm ? SIGTERM : SIGINT;
        std::function<void()> interrupt;
        if (finish != Finish::None)
            interrupt = [signal] { std::raise(signal); };
        AutoOperator op(f.vp, f.sim, swipes, bad, interrupt);
        CliRun run;
        runIn(f, run, withDialect(dialect, args));
        QCOMPARE(op.swiped(), swipes);
        const Bytes cli = f.writes();
        QVERIFY2(cli == handshake + window, qPrintable(QStringLiteral("cli %1\nwindow %2")
                                                           .arg(QString::fromLatin1(cli.join(' ').toHex(' ')),
                                                                QString::fromLatin1((handshake + window).join(' ').toHex(' ')))));
        QCOMPARE(run.status, status);
        QStringList words;
        for (const QString &line : run.outLines())
            words << line.section(": ", 1, 1).section(' ', 0, 0);
        QCOMPARE(words, results);
        // Each failed card was told of and tried again, as after the error window's OK.
        QCOMPARE(run.errText().count(QStringLiteral("error!  Please try again.")), int(bad.size()));
    }

    void countEndsRunWithJson_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<Bytes>("closing");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id
                                  << perDialect(d.id, Bytes{"\x1b" "a", "\x1b\x81", "\x1b\x83"}, Bytes{"\x7f"});
    }
    // --count 2: two JSON lines that parse, then the read's closing and nothing more; status 0.
    void countEndsRunWithJson()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Bytes, closing);
        SwipeFixture f(dialect);
        f.sim.setStack(Simulator::sampleStack());
        AutoOperator op(f.vp, f.sim, 3, {}, {});
        CliRun run;
        runIn(f, run, withDialect(dialect, {"--json", "read", "--count", "2"}));
        QCOMPARE(run.status, 0);
        QCOMPARE(op.swiped(), 2);
        const QList<QJsonObject> lines = jsonLines(run);
        QCOMPARE(lines.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const SimCard card = Simulator::sampleStack().at(i);
            QCOMPARE(lines[i].value("card").toInt(), i + 1);
            QCOMPARE(lines[i].value("result").toString(), QString("ok"));
            const QJsonArray tracks = lines[i].value("tracks").toArray();
            QCOMPARE(tracks.size(), 3);
            QCOMPARE(tracks[0].toString().toLatin1(), cardText(card, 0));
            QCOMPARE(tracks[2].toString(), card.tracks[2].isBlank() ? QString("+") : QString::fromLatin1(cardText(card, 2)));
        }
        QCOMPARE(f.writes().mid(f.writes().size() - closing.size()), closing);
        QCOMPARE(run.errText().count("Swipe card"), 2);
    }

    void encoderFailures_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told");
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s silent encoder", d.name) << d.id << "silent" << QStringList{"read"} << 3
                                                       << "Communications Error\n     Is encoder connected to PC?";
            QTest::addRow("%s no such port", d.name) << d.id << "no port" << QStringList{"test"} << 3
                                                     << "Communications Error";
            QTest::addRow("%s port lost in the swipe wait", d.name)
                << d.id << "vanish" << QStringList{"read"} << 3 << "Communication with the encoder failed.";
        }
        QTest::newRow("no dialect named: VNT-290B tried after HKD382")
            << DialectId::Vnt290b << "speaks VNT-290B" << QStringList{"test"} << 0 << "";
    }
    void encoderFailures()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QString, fault);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, told);
        SwipeFixture f(dialect);
        if (fault == "silent")
            f.sim.setSilent(true);
        if (fault == "no port")
            f.sim.vanishPort();
        if (fault == "speaks VNT-290B")
            f.sim.setDialect(DialectId::Vnt290b);
        AutoOperator op(f.vp, f.sim, 0, {}, [&f] { f.sim.vanishPort(); });
        CliRun run;
        runIn(f, run, fault == "speaks VNT-290B" ? args : withDialect(dialect, args));
        QCOMPARE(run.status, status);
        QVERIFY2(run.errText().contains(told), qPrintable(run.errText()));
        if (status == 0)
            QCOMPARE(run.outLines(), QStringList{"VNT-290B encoder answered."});
        else
            QVERIFY(run.outLines().isEmpty());
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told"); // in standard error (status 2) or output (0)
        QTest::newRow("no command") << QStringList{} << 2 << "no command given";
        QTest::newRow("unknown command") << QStringList{"frob"} << 2 << "unknown command \"frob\"";
        QTest::newRow("unknown option") << QStringList{"read", "--fast"} << 2 << "Unknown option 'fast'";
        QTest::newRow("port 13") << QStringList{"--port", "13", "read"} << 2 << "--port expects a number from 1 to 12";
        QTest::newRow("baud 300") << QStringList{"--baud", "300", "read"} << 2 << "--baud expects 19200|9600";
        QTest::newRow("count 0") << QStringList{"read", "--count", "0"} << 2 << "--count expects";
        QTest::newRow("write, nothing") << QStringList{"write"} << 2 << "Please fill in the input record.";
        QTest::newRow("write, ? on track 1")
            << QStringList{"write", "--track1", "AB?"} << 2
            << " 7-Bit Character (Std T1) Format Error\nUse the fellowing characters only:   \nSP ! \"";
        QTest::newRow("write, a letter on track 2")
            << QStringList{"write", "--track2", "12A"} << 2
            << " 5-Bit Character (Std T2/T3) Format Error\nUse the fellowing characters only:   \n0 1 2 3 4 5 6 7 8 9 : ; = > ";
        QTest::newRow("write, track 2 too long") << QStringList{"write", "--track2", QString(38, '1')} << 2
                                                 << "Track 2 holds at most 37 characters";
        QTest::newRow("erase, no tracks") << QStringList{"erase"} << 2 << "erase expects --tracks";
        QTest::newRow("erase track 4") << QStringList{"erase", "--tracks", "1,4"} << 2 << "--tracks expects";
        QTest::newRow("save, no file") << QStringList{"save"} << 2 << "save expects one FILE";
        QTest::newRow("encode, no such file") << QStringList{"encode", "%dir%/none.txt"} << 2 << "File not exists. ";
        QTest::newRow("encode, malformed file")
            << QStringList{"encode", "%dir%/bad.txt"} << 2 << "Incorrect file format. Select ASCII format only.\nRecord 2";
        QTest::newRow("encode, from past the end") << QStringList{"encode", "%dir%/good.txt", "--from", "4"} << 2
                                                   << "holds 3 records; there is no record 4";
        QTest::newRow("incremental, signed start")
            << QStringList{"incremental", "--track", "2", "--start", "-5", "--count", "2"} << 2
            << "--start: Format Error\nUse numeral only. ";
        QTest::newRow("incremental, last card too long")
            << QStringList{"incremental", "--track", "2", "--start", "99", "--count", "2", "--prefix", QString(35, '1')}
            << 2 << "Track 2 holds at most 37 characters.  Prefix, number and suffix of the last card (number 100) make 38.";
        QTest::newRow("incremental, chosen track as --track2")
            << QStringList{"incremental", "--track", "2", "--start", "1", "--count", "2", "--track2", "1"} << 2
            << "give its data with --prefix";
        QTest::newRow("non-ISO custom format, HKD382")
            << QStringList{"noniso-read", "--format", "custom"} << 2 << "the custom data format needs a VNT-290B encoder";
        QTest::newRow("non-ISO write, first value even")
            << QStringList{"--dialect", "vnt-290b", "noniso-write", "--format", "custom", "--track2", "02 1F"} << 2
            << "--track2: Non-ISO 5-Bit Data Format Error\nUse number 01~03 and 05~1F only.      \n04 is reserved";
        QTest::newRow("non-ISO write, past the track at 75 BPI")
            << QStringList{"noniso-write", "--density1", "75", "--track1", QString(28, 'A')} << 2
            << "--track1: Non-ISO Write\nMax Characters are 27  ";
        QTest::newRow("non-ISO write, nothing") << QStringList{"noniso-write", "--track2", "  "} << 2
                                                << "expects the data of at least one track";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vnt410 [LINE OPTIONS]";
        QTest::newRow("command help") << QStringList{"encode", "--help"} << 0 << "--from N";
    }
    // Refused before anything reaches the encoder.
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, told);
        QTemporaryDir dir;
        writeFile(dir, "bad.txt", "B1||\r\nB2|\r\n");
        writeFile(dir, "good.txt", kThreeRecords);
        args.replaceInStrings("%dir%", dir.path());
        SwipeFixture f(DialectId::Hkd382);
        CliRun run;
        runIn(f, run, args);
        QCOMPARE(run.status, status);
        const QString text = status == 0 ? QString::fromUtf8(run.out.data()) : run.errText();
        QVERIFY2(text.contains(told), qPrintable(text));
        QVERIFY(f.sim.received().isEmpty());
    }

    void saveFile_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    // Each good card is in the file, whole, before its line; the file is the owner's only; an
    // existing file is refused unless --append, which adds to it.
    void saveFile()
    {
        QFETCH(DialectId, dialect);
        QTemporaryDir dir;
        const QString path = dir.filePath("saved.txt");
        const QList<SimCard> samples = Simulator::sampleStack();
        {
            SwipeFixture f(dialect);
            f.sim.setStack(samples);
            AutoOperator op(f.vp, f.sim, 3, {1}, {});
            CliRun run;
            FileWatchingOutput out(path);
            CliIo io = ioFor(run, f.vp);
            io.out = &out;
            io.links = f.sim.links();
            QCOMPARE(runCli(QStringList{"vnt410"} + withDialect(dialect, {"save", path, "--count", "2"}), io), 0);
            QCOMPARE(out.recordsAtLine, (QList<int>{1, 1, 2})); // each line finds its card on the disk
            QVERIFY(out.data.contains("read-error"));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray expected;
        for (int i : {0, 1}) { // the badly swiped card is swiped again
            EncodeDataFile::Record r;
            for (int t = 0; t < 3; ++t)
                r.track[size_t(t)] = samples[i].tracks[size_t(t)].isBlank() ? QByteArray("+") : cardText(samples[i], t);
            expected += EncodeDataFile::recordLine(r);
        }
        QCOMPARE(file.readAll(), expected);
        QCOMPARE(int(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)), 0);

        SwipeFixture f(dialect);
        f.sim.setStack(samples);
        CliRun refused;
        runIn(f, refused, withDialect(dialect, {"save", path, "--count", "1"}));
        QCOMPARE(refused.status, 2);
        QVERIFY(refused.errText().contains("exists (--append adds to it)"));
        QVERIFY(f.sim.received().isEmpty());

        AutoOperator op(f.vp, f.sim, 1, {}, {});
        CliRun appended;
        runIn(f, appended, withDialect(dialect, {"save", path, "--count", "1", "--append"}));
        QCOMPARE(appended.status, 0);
        QCOMPARE(EncodeDataFile::ReadEncodeDataFile(path).records, 3);
    }

    void encodeFrom_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    // --from 2 writes records 2 and 3, each line naming its record; the cards hold them.
    void encodeFrom()
    {
        QFETCH(DialectId, dialect);
        QTemporaryDir dir;
        const QString path = writeFile(dir, "cards.txt", kThreeRecords);
        SwipeFixture f(dialect);
        f.sim.setStack(Simulator::blankStack(3));
        AutoOperator op(f.vp, f.sim, 2, {}, {});
        CliRun run;
        runIn(f, run, withDialect(dialect, {"--json", "encode", path, "--from", "2"}));
        QCOMPARE(run.status, 0);
        const QList<QJsonObject> lines = jsonLines(run);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].value("record").toInt(), 2);
        QCOMPARE(lines[1].value("record").toInt(), 3);
        QCOMPARE(lines[1].value("card").toInt(), 2);
        const QList<SimCard> pile = f.sim.swipedCards();
        QCOMPARE(pile.size(), 2);
        QCOMPARE(cardText(pile[0], 1), QByteArray("2"));
        QCOMPARE(cardText(pile[1], 0) + cardText(pile[1], 2), QByteArray("C333"));
        QVERIFY(run.errText().contains("End of file reached."));
    }

    void incremental_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    // A series of three onto blank cards: the number runs on track 1, track 2 as given.
    void incremental()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        f.sim.setStack(Simulator::blankStack(3));
        AutoOperator op(f.vp, f.sim, 3, {}, {});
        CliRun run;
        runIn(f, run,
              withDialect(dialect, {"incremental", "--track", "1", "--start", "98", "--step", "2", "--count", "3",
                                    "--prefix", "b", "--suffix", "x", "--track2", "12"}));
        QCOMPARE(run.status, 0);
        Bytes cards;
        for (const SimCard &card : f.sim.swipedCards())
            cards << cardText(card, 0) + "|" + cardText(card, 1);
        QCOMPARE(cards, (Bytes{"B98X|12", "B100X|12", "B102X|12"}));
        QVERIFY(run.errText().contains("Last incremental encode done."));
    }

    void simulated_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("track1"); // of each line
        for (const DialectEntry &d : kDialects) {
            const QByteArray first = Simulator::sampleStack().at(0).tracks[0].chars;
            QTest::addRow("%s read", d.name) << d.id << QStringList{"read", "--count", "1"} << first;
            QTest::addRow("%s copy", d.name) << d.id << QStringList{"copy", "--count", "1"} << first;
            QTest::addRow("%s write", d.name) << d.id << QStringList{"write", "--track1", "B1", "--count", "1"}
                                              << QByteArray("B1");
        }
    }
    // --simulate: the built-in encoder and its operator, who swipes a sample or a blank card;
    // the trace (card data) is left readable by its owner only, also where it existed before.
    void simulated()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, track1);
        QTemporaryDir dir;
        const QString trace = writeFile(dir, "trace.txt", "old");
        QVERIFY(QFile::setPermissions(trace, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        VirtualPacer vp;
        CliRun run;
        CliIo io = ioFor(run, vp);
        QCOMPARE(runCli(QStringList{"vnt410", "--simulate", "--json", "--trace", trace} + withDialect(dialect, args), io), 0);
        const QList<QJsonObject> lines = jsonLines(run);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].value("tracks").toArray().at(0).toString().toLatin1(), track1);
        QCOMPARE(QFileInfo(trace).permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QFile::Permissions());
        QFile traced(trace);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        const QByteArray text = traced.readAll();
        QVERIFY(!text.startsWith("old"));
        QVERIFY(text.contains("* vnt410 0, trace started "));
        QVERIFY(text.contains("* open port 1, " + dialectName(dialect).toLatin1()
                              + ", 9600 baud, no parity, 8 data bits, 1 stop bit: ok"));
    }

    // The installed path: the built program on a pseudo-terminal, the simulated encoder at the
    // far end of the cable, a card read as a JSON line.
    void processOverPty()
    {
        Pty pty;
        QVERIFY(pty.ok());
        RealPacer clock;
        Simulator sim(clock);
        sim.setStack(Simulator::sampleStack());
        std::unique_ptr<SerialLink> encoder = sim.makeLink();
        QVERIFY(encoder->open(1, "9600,n,8,1"));

        QProcess program;
        program.start(QStringLiteral(VNT410_PROGRAM),
                      {"--device", pty.slavePath(), "--json", "read", "--count", "1"});
        QVERIFY(program.waitForStarted(10000));
        QElapsedTimer bound;
        bound.start();
        double waitingSince = -1;
        // Bytes each way until the program ends; a card goes through 0.3 s after the encoder waits.
        while (program.state() != QProcess::NotRunning && bound.elapsed() < 30000) {
            const QByteArray sent = pty.read(5);
            if (!sent.isEmpty())
                encoder->write(sent);
            const QByteArray reply = encoder->takeAll();
            if (!reply.isEmpty())
                QVERIFY(pty.write(reply));
            if (sim.awaitingSwipe()) {
                if (waitingSince < 0)
                    waitingSince = clock.now();
                if (clock.now() - waitingSince > 0.3) {
                    sim.swipe();
                    waitingSince = -1;
                }
            } else {
                waitingSince = -1;
            }
            program.waitForFinished(0);
        }
        if (program.state() != QProcess::NotRunning)
            QVERIFY(program.waitForFinished(5000));
        const QByteArray told = program.readAllStandardError();
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == 0, told.constData());
        const QList<QByteArray> lines = program.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject line = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(line.value("result").toString(), QString("ok"));
        QCOMPARE(line.value("tracks").toArray().at(0).toString().toLatin1(), Simulator::sampleStack().at(0).tracks[0].chars);
        QVERIFY(told.contains("Swipe card 1..."));
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
