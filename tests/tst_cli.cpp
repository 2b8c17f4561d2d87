// The vnt410 program: in-process on virtual time against the simulator (the same bytes as the
// matching window, signals, the files, usage), and once as a process over a pseudo-terminal.
#include "Dialects.h"
#include "FileSizeLimit.h"
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
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Standard output whose reader goes away after `room` lines (-1: never).
class Output : public QBuffer {
public:
    int room = -1;

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        if (room == 0) {
            setErrorString("Broken pipe");
            return -1;
        }
        room -= room > 0 ? 1 : 0;
        return QBuffer::writeData(data, size);
    }
};

// One in-process run of the program, its streams kept.
struct CliRun {
    Output out;
    QBuffer err;
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

// Standard input from a pipe that holds `bytes`, while it lives.
class StdinFeed {
public:
    explicit StdinFeed(const QByteArray &bytes)
    {
        int fds[2];
        if (bytes.isEmpty() || ::pipe(fds) != 0)
            return;
        const ssize_t written = ::write(fds[1], bytes.constData(), size_t(bytes.size()));
        ::close(fds[1]);
        saved_ = written == bytes.size() ? ::dup(STDIN_FILENO) : -1;
        if (saved_ >= 0)
            ::dup2(fds[0], STDIN_FILENO);
        ::close(fds[0]);
    }
    ~StdinFeed()
    {
        if (saved_ < 0)
            return;
        ::dup2(saved_, STDIN_FILENO);
        ::close(saved_);
    }

private:
    int saved_ = -1;
};

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
            std::unique_ptr<QDialog> w;
            if (kind == "read")
                w = std::make_unique<cfrmReadCard>(f.connection, &f.records, &f.records);
            else if (kind == "write")
                w = std::make_unique<cfrmWriteCard>(f.connection, f.records.inputTracks(), &f.records, &f.records);
            else if (kind == "erase")
                w = std::make_unique<frmEraseCard>(f.connection, 5, &f.records, &f.records);
            else if (kind == "noniso-read")
                w = std::make_unique<nfrmReadCard>(f.connection, parseCli(QStringList{"vnt410"} + args, "0").job.selection, &f.records);
            else if (kind == "noniso-write")
                w = std::make_unique<nfrmSwipeWrite>(f.connection, parseCli(QStringList{"vnt410"} + args, "0").job.nonIsoWrite, &f.records);
            else
                w = std::make_unique<cfrmEncodeRF>(f.connection, kThreeRecords, &f.records, &f.records);
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
        QTest::addColumn<int>("room"); // the lines standard output takes before its reader goes
        for (const DialectEntry &d : kDialects) {
            const Bytes closing = perDialect(d.id, Bytes{"\x1b" "a", "\x1b\x81", "\x1b\x83"}, Bytes{"\x7f"});
            QTest::newRow(d.name) << d.id << closing << -1;
            QTest::addRow("%s, standard output gone after a line", d.name) << d.id << closing << 1;
        }
    }
    // --count 2: two JSON lines that parse, then the read's closing and nothing more; status 0.
    // Standard output gone: told once, the run ends as at the count, only the lines written
    // are counted, status 1.
    void countEndsRunWithJson()
    {
        QFETCH(DialectId, dialect);
        QFETCH(Bytes, closing);
        QFETCH(int, room);
        SwipeFixture f(dialect);
        f.sim.setStack(Simulator::sampleStack());
        AutoOperator op(f.vp, f.sim, 3, {}, {});
        CliRun run;
        run.out.room = room;
        runIn(f, run, withDialect(dialect, {"--json", "read", "--count", "2"}));
        const int written = room < 0 ? 2 : room;
        QCOMPARE(run.status, written < 2 ? 1 : 0);
        QCOMPARE(op.swiped(), 2);
        const QList<QJsonObject> lines = jsonLines(run);
        QCOMPARE(lines.size(), written);
        QVERIFY2(run.errText().endsWith(written == 1 ? "\n1 card read.\n" : "\n2 cards read.\n"), qPrintable(run.errText()));
        QCOMPARE(run.errText().count("vnt410: the results could no longer be written to standard output: Broken pipe"),
                 written < 2 ? 1 : 0);
        for (int i = 0; i < written; ++i) {
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
        QTest::newRow("unknown option") << QStringList{"read", "--fast"} << 2 << "vnt410: read: unknown option \"--fast\"\n";
        QTest::newRow("port 13") << QStringList{"--port", "13", "read"} << 2 << "--port expects a number from 1 to 12";
        QTest::newRow("baud 300") << QStringList{"--baud", "300", "read"} << 2 << "--baud expects 19200|9600";
        QTest::newRow("count 0") << QStringList{"read", "--count", "0"} << 2 << "--count expects";
        QTest::newRow("write, nothing") << QStringList{"write"} << 2
                                        << "write: no track given: --track1, --track2, --track3 or --tracks-from";
        QTest::newRow("write, ? on track 1")
            << QStringList{"write", "--track1", "AB?"} << 2
            << "--track1: \"?\" at position 3 is refused: a 7-bit track takes space to \"_\" but \"?\"\n";
        QTest::newRow("write, a letter on track 2")
            << QStringList{"write", "--track2", "12A"} << 2
            << "--track2: \"A\" at position 3 is refused: a 5-bit track takes \"0\" to \">\"\n";
        QTest::newRow("write, track 2 too long") << QStringList{"write", "--track2", QString(38, '1')} << 2
                                                 << "Track 2 holds at most 37 characters";
        QTest::newRow("erase, no tracks") << QStringList{"erase"} << 2 << "erase expects --tracks";
        QTest::newRow("erase track 4") << QStringList{"erase", "--tracks", "1,4"} << 2 << "--tracks expects";
        QTest::newRow("save, no file") << QStringList{"save"} << 2 << "save expects one FILE";
        QTest::newRow("encode, no such file") << QStringList{"encode", "%dir%/none.txt"} << 2 << "none.txt: no such file\n";
        QTest::newRow("encode, a FIFO: at once") << QStringList{"encode", "%dir%/fifo"} << 2 << "fifo: not a regular file: a FIFO\n";
        QTest::newRow("save, a folder") << QStringList{"save", "%dir%"} << 2 << ": Not a regular file: a folder.";
        QTest::newRow("save --append, a FIFO") << QStringList{"save", "%dir%/fifo", "--append"} << 2
                                               << "fifo: Not a regular file: a FIFO.";
        QTest::newRow("trace over a data file") << QStringList{"--trace", "%dir%/good.txt", "read"} << 2
                                                << "good.txt: It exists: a trace is always a new file.";
        QTest::newRow("encode, malformed file")
            << QStringList{"encode", "%dir%/bad.txt"} << 2 << "bad.txt: record 2: 1 \"|\" where a record holds exactly two\n";
        QTest::newRow("encode, a character at fault")
            << QStringList{"encode", "%dir%/char.txt"} << 2
            << "char.txt: record 2 (line 3), track 2: \"A\" at position 2 is refused: a 5-bit track takes";
        QTest::newRow("encode, from past the end") << QStringList{"encode", "%dir%/good.txt", "--from", "4"} << 2
                                                   << "holds 3 records; there is no record 4";
        QTest::newRow("incremental, signed start")
            << QStringList{"incremental", "--track", "2", "--start", "-5", "--count", "2"} << 2
            << "--start: \"-5\" is no whole number from 0 to 2147483647\n";
        QTest::newRow("incremental, last card too long")
            << QStringList{"incremental", "--track", "2", "--start", "99", "--count", "2", "--prefix", QString(35, '1')}
            << 2 << "Track 2 holds at most 37 characters.  Prefix, number and suffix of the last card (number 100) make 38.";
        QTest::newRow("incremental, nothing entered")
            << QStringList{"incremental", "--track", "1", "--start", "", "--count", "2"} << 2
            << "incremental expects a base record";
        QTest::newRow("incremental, chosen track as --track2")
            << QStringList{"incremental", "--track", "2", "--start", "1", "--count", "2", "--track2", "1"} << 2
            << "give its data with --prefix";
        QTest::newRow("non-ISO custom format, HKD382")
            << QStringList{"noniso-read", "--format", "custom"} << 2 << "the custom data format needs a VNT-290B encoder";
        QTest::newRow("non-ISO write, first value even")
            << QStringList{"--dialect", "vnt-290b", "noniso-write", "--format", "custom", "--track2", "02 1F"} << 2
            << "--track2: Non-ISO 5-Bit Data Format Error\nUse number 01~03 and 05~1F only.\n04 is reserved";
        QTest::newRow("non-ISO write, past the track at 75 BPI")
            << QStringList{"noniso-write", "--density1", "75", "--track1", QString(28, 'A')} << 2
            << "--track1: Non-ISO Write\nMax Characters are 27\n";
        QTest::newRow("non-ISO write, nothing") << QStringList{"noniso-write", "--track2", "  "} << 2
                                                << "expects the data of at least one track";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: vnt410 [LINE OPTIONS]";
        QTest::newRow("help: arguments are seen") << QStringList{"--help"} << 0
                                                  << "Other users of the machine can see a program's arguments";
        QTest::newRow("command help") << QStringList{"encode", "--help"} << 0 << "--from N";
        QTest::newRow("help: every summary whole") << QStringList{"--help"} << 0
                                                   << "raw values (e.g. \"01 1F 0B\") in the custom format.\n";
    }
    // Refused before anything reaches the encoder.
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, told);
        QTemporaryDir dir;
        writeFile(dir, "bad.txt", "B1||\r\nB2|\r\n");
        writeFile(dir, "char.txt", "B1||\r\n\r\n|2A|\r\n");
        writeFile(dir, "good.txt", kThreeRecords);
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        args.replaceInStrings("%dir%", dir.path());
        SwipeFixture f(DialectId::Hkd382);
        CliRun run;
        runIn(f, run, args);
        QCOMPARE(run.status, status);
        const QString text = status == 0 ? QString::fromUtf8(run.out.data()) : run.errText();
        QVERIFY2(text.contains(told), qPrintable(text));
        QVERIFY(f.sim.received().isEmpty());
    }

    void tracksFrom_data()
    {
        QTest::addColumn<QStringList>("args"); // %from% names the record's file
        QTest::addColumn<QString>("source");   // what is there: file, fifo, folder; or stdin
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told"); // in standard error; status 0: the card's tracks
        const QStringList write{"write", "--count", "1", "--tracks-from"};
        QTest::newRow("write, a file, CR LF") << write + QStringList{"%from%"} << "file" << QByteArray("b1|23|\r\n") << 0
                                              << "B1|23|";
        QTest::newRow("write, standard input") << write + QStringList{"-"} << "stdin" << QByteArray("|45|67\n") << 0
                                               << "|45|67";
        QTest::newRow("incremental, the other tracks")
            << QStringList{"incremental", "--track", "2", "--start", "7", "--count", "1", "--tracks-from", "%from%"}
            << "file" << QByteArray("AB||9") << 0 << "AB|7|9";
        QTest::newRow("incremental, the chosen track too")
            << QStringList{"incremental", "--track", "2", "--start", "7", "--count", "1", "--tracks-from", "%from%"}
            << "file" << QByteArray("|5|\n") << 2 << "track 2 carries the number";
        QTest::newRow("a FIFO, refused at once") << write + QStringList{"%from%"} << "fifo" << QByteArray() << 2
                                                 << "--tracks-from %from%: not a regular file";
        QTest::newRow("a folder") << write + QStringList{"%from%"} << "folder" << QByteArray() << 2 << "not a regular file";
        QTest::newRow("no such file") << write + QStringList{"%from%"} << "none" << QByteArray() << 2
                                      << "no such file or directory";
        QTest::newRow("two lines") << write + QStringList{"%from%"} << "file" << QByteArray("1||\n2||\n") << 2
                                   << "more than one line";
        QTest::newRow("no separator") << write + QStringList{"%from%"} << "file" << QByteArray("123\n") << 2
                                      << "0 \"|\" where the record t1|t2|t3 holds two";
        QTest::newRow("larger than 64 KiB") << write + QStringList{"%from%"} << "file" << QByteArray(70000, '1') << 2
                                            << "larger than 64 KiB";
        QTest::newRow("and --track1") << write + QStringList{"%from%", "--track1", "A"} << "file" << QByteArray("A||\n")
                                      << 2 << "exclude each other";
        QTest::newRow("a refused track, named by the record") << write + QStringList{"-"} << "stdin"
                                                              << QByteArray("|12A|\n") << 2 << "standard input: track 2:";
        QTest::newRow("noniso-write, raw hex pairs")
            << QStringList{"--dialect", "vnt-290b", "noniso-write", "--format", "custom", "--tracks-from", "-"} << "stdin"
            << QByteArray("|02 1F|\n") << 2 << "standard input: track 2: Non-ISO 5-Bit Data Format Error";
    }
    // --tracks-from: the record's tracks are checked and written as the options' would be; a
    // source that is no regular file is refused without waiting for it.
    void tracksFrom()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, source);
        QFETCH(QByteArray, record);
        QFETCH(int, status);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString path = dir.filePath("tracks");
        if (source == "file")
            writeFile(dir, "tracks", record);
        if (source == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (source == "folder")
            QVERIFY(QDir(dir.path()).mkdir("tracks"));
        args.replaceInStrings("%from%", path);
        told.replace("%from%", path);
        StdinFeed feed(source == "stdin" ? record : QByteArray());
        SwipeFixture f(DialectId::Hkd382);
        f.sim.setStack(Simulator::blankStack(1));
        AutoOperator op(f.vp, f.sim, status == 0 ? 1 : 0, {}, {});
        CliRun run;
        runIn(f, run, args);
        QCOMPARE(run.status, status);
        if (status != 0) {
            QVERIFY2(run.errText().contains(told), qPrintable(run.errText()));
            QVERIFY(f.sim.received().isEmpty());
            return;
        }
        QCOMPARE(f.sim.swipedCards().size(), 1);
        const SimCard card = f.sim.swipedCards().first();
        QCOMPARE(cardText(card, 0) + "|" + cardText(card, 1) + "|" + cardText(card, 2), told.toLatin1());
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
        QVERIFY(refused.errText().contains("Exists (--append adds to it)."));
        QVERIFY(f.sim.received().isEmpty());

        AutoOperator op(f.vp, f.sim, 1, {}, {});
        CliRun appended;
        runIn(f, appended, withDialect(dialect, {"save", path, "--count", "1", "--append"}));
        QCOMPARE(appended.status, 0);
        QCOMPARE(EncodeDataFile::check(EncodeDataFile::ReadEncodeDataFile(path).content).records, 3);
    }

    // A full disk: the card that could not be saved says so in its own line and the file ends
    // on the card before; a trace that cannot be written is told once and the run goes on. Both 1.
    void fullDisk_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("told");
        QTest::newRow("save") << QStringList{"save", "%dir%/saved.txt", "--count", "3"}
                              << QStringList{"card 1 (record 1): ok", "card 2: not saved"} << "vnt410: card 2 was not saved: %dir%/saved.txt: ";
        QTest::newRow("trace") << QStringList{"--trace", "%dir%/trace.txt", "read", "--count", "2"}
                               << QStringList{"card 1: ok", "card 2: ok"} << "vnt410: the trace file %dir%/trace.txt could not be written: ";
    }
    void fullDisk()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, lines);
        QFETCH(QString, told);
        QTemporaryDir dir;
        args.replaceInStrings("%dir%", dir.path());
        told.replace("%dir%", dir.path());
        const QList<SimCard> samples = Simulator::sampleStack();
        EncodeDataFile::Record first;
        for (int t = 0; t < 3; ++t)
            first.track[size_t(t)] = samples[0].tracks[size_t(t)].isBlank() ? QByteArray("+") : cardText(samples[0], t);
        SwipeFixture f(DialectId::Hkd382);
        f.sim.setStack(samples);
        AutoOperator op(f.vp, f.sim, 2, {}, {});
        CliRun run;
        {
            const FileSizeLimit full(EncodeDataFile::recordLine(first).size() + 5);
            runIn(f, run, args);
        }
        QCOMPARE(run.status, 1);
        QStringList got;
        for (const QString &line : run.outLines())
            got << line.section("  T1:", 0, 0);
        QCOMPARE(got, lines);
        QCOMPARE(run.errText().count(told), 1);
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
    // the trace (card data) is a new file readable by its owner only.
    void simulated()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, track1);
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
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

    void signalsOverProcess_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP (the terminal closed)") << SIGHUP;
    }
    // The built program in its swipe wait: the signal cancels the read, whose closing sequence
    // is the last the trace shows sent, and ends it with 128 + the signal. It runs with a zero
    // core size limit, whatever it was given.
    void signalsOverProcess()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString trace = dir.filePath("trace.txt");
        QProcess program;
        program.setChildProcessModifier([] {
            struct rlimit core;
            if (::getrlimit(RLIMIT_CORE, &core) == 0 && core.rlim_max > 0) {
                core.rlim_cur = core.rlim_max;
                ::setrlimit(RLIMIT_CORE, &core);
            }
        });
        program.setReadChannel(QProcess::StandardError);
        program.start(QStringLiteral(VNT410_PROGRAM), {"--simulate", "--trace", trace, "read"});
        QByteArray told;
        while (!told.contains("Swipe card 1...") && program.waitForReadyRead(30000))
            told += program.readAll();
        QVERIFY2(told.contains("Swipe card 1..."), told.constData());
        QFile limits(QStringLiteral("/proc/%1/limits").arg(program.processId()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(QRegularExpression("\\nMax core file size +0 +0 ").match(QString::fromLatin1(limits.readAll())).hasMatch());
        ::kill(pid_t(program.processId()), signal);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signal);
        QFile traced(trace);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        QStringList sent;
        static const QRegularExpression chunk("^ *[0-9.]+ > ([0-9A-F ]+?)  \\|");
        for (const QByteArray &line : traced.readAll().split('\n'))
            if (const QRegularExpressionMatch m = chunk.match(QString::fromLatin1(line)); m.hasMatch())
                sent << m.captured(1);
        QCOMPARE(sent.mid(sent.size() - 3), (QStringList{"1B 61", "1B 81", "1B 83"}));
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
