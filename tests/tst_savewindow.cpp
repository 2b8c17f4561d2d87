// The save-to-file window end to end against the simulated encoder and its stack of cards, in
// both dialects: which reads become records, the card number, and what the operator sees; and
// the journal that keeps each record on disk at once, so a killed run loses no card.
#include "Dialects.h"
#include "FileSizeLimit.h"
#include "SwipeFixture.h"
#include "batch/FileButtons.h"
#include "batch/SaveJournal.h"
#include "batch/cfrmEncodeWF.h"

#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(EncodeDataFile::Record)
Q_DECLARE_METATYPE(SimCard)

using Record = EncodeDataFile::Record;
using Records = QList<Record>;
using Bytes = QList<QByteArray>;

namespace {
const QByteArray kAnnaT1 = "B4000123456789010^SAMPLE/ANNA^30121010000000000000";
const QByteArray kAnnaT2 = "4000123456789010=30121010000000000";
const QByteArray kAnnaT3 = "0140001234567890=7247";
const Record kAnna{{kAnnaT1, kAnnaT2, kAnnaT3}};
const Record kBen{{"B5500987654321098^TESTER/BEN^29081010000000000000", "5500987654321098=29081010000000000", "+"}};
const Record kAccess{{"+", "8024701001=3012", "+"}};

SimCard damaged()
{
    SimCard c = Simulator::sampleStack()[2];
    c.tracks[2].chars = "123";
    c.tracks[2].unreadable = true;
    return c;
}

// HKD382's read reply for a card whose track 1 came back holding "|" (line noise).
const QByteArray kHkdBarReply = QByteArray("\x1bs\x1b\x01%AB|C?\x1b\x02;123?\x1b\x03;456??\x1c\x1b") + '0';

Records collected(const QByteArray &text)
{
    Records out;
    EncodeDataFile::RecordTaker taker(text);
    while (const auto r = taker.next())
        out << *r;
    return out;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no file)");
}

// The journal in a folder of its own for as long as it lives.
struct JournalHome {
    QTemporaryDir dir;
    explicit JournalHome(const QString &sub = QStringLiteral("data"))
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(sub)));
    }
    ~JournalHome() { qunsetenv("XDG_DATA_HOME"); }
};

const char *const kChildArgument = "--save-run-to-be-killed";

// The child of killedRunLeavesItsRecords: a save run that takes two cards, says so on its
// standard output, and waits there until it is killed.
int saveRunToBeKilled(DialectId dialect)
{
    SwipeFixture f(dialect);
    f.sim.setStack(Simulator::sampleStack().mid(0, 3));
    cfrmEncodeWF w(f.connection, &f.records, &f.records);
    f.swipeAt(1.5);
    f.swipeAt(4.5);
    f.at(7.0, [&w] {
        std::printf("%d\n", w.collection().count());
        std::fflush(stdout);
        char c;
        [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, &c, 1); // the parent kills the process meanwhile
        std::_Exit(3);
    });
    f.run(w);
    return 4;
}
} // namespace

class SaveWindowTest : public QObject {
    Q_OBJECT

private slots:
    void windowControls()
    {
        SwipeFixture f(DialectId::Hkd382);
        cfrmEncodeWF w(f.connection, &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("File Save Prompt"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("Your are saving card #               ."));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QCOMPARE(w.findChild<QLabel *>("Label2")->text(), QString("Please swipe a card."));
    }

    // A stack swiped card by card (3 s apart), then Cancel: only sound reads become records, in
    // swipe order; a failed read keeps the card number for the next card.
    void collection_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QList<SimCard>>("stack");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<Records>("expected");
        QTest::addColumn<QStringList>("numbers"); // LC just before each swipe
        QTest::addColumn<int>("readErrors");
        QTest::addColumn<Bytes>("shownAtError"); // the output record under the first read error window
        const QList<SimCard> samples = Simulator::sampleStack();
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s two cards", d.name) << d.id << samples.mid(0, 2) << QString() << Records{kAnna, kBen}
                                                  << QStringList{"1", "2"} << 0 << Bytes{};
            QTest::addRow("%s unreadable card between two", d.name)
                << d.id << QList<SimCard>{samples[0], damaged(), samples[2]} << QString() << Records{kAnna, kAccess}
                << QStringList{"1", "2", "2"} << 1 << Bytes{"+", "8024701001=3012", "*"};
            QTest::addRow("%s bar in track 1 between two", d.name)
                << d.id << samples.mid(0, 3) << QString("bar") << Records{kAnna, kAccess} << QStringList{"1", "2", "2"} << 1
                << perDialect(d.id, Bytes{"AB|C", "123", "456"}, Bytes{"AB|C", kBen.track[1], "+"});
            QTest::addRow("%s cancel before the first swipe", d.name) << d.id << samples << QString() << Records{}
                                                                      << QStringList{} << 0 << Bytes{};
        }
        // A track that got no answer at all is a failed read, not a track without data.
        QTest::addRow("VNT-290B track 3 unanswered") << DialectId::Vnt290b << samples.mid(0, 1) << QString("silent S") << Records{}
                                                     << QStringList{"1"} << 1 << Bytes{kAnnaT1, kAnnaT2, "*"};
    }
    void collection()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QList<SimCard>, stack);
        QFETCH(QString, fault);
        QFETCH(Records, expected);
        QFETCH(QStringList, numbers);
        QFETCH(int, readErrors);
        QFETCH(Bytes, shownAtError);
        const JournalHome home;
        SwipeFixture f(dialect);
        f.sim.setStack(stack);
        if (fault == "silent S")
            f.sim.setCommandFault("S", Simulator::Fault::Ignore);
        cfrmEncodeWF w(f.connection, &f.records, &f.records);
        auto *lc = w.findChild<QLabel *>("LC");
        QStringList seen;
        for (int i = 0; i < numbers.size(); ++i) {
            const double t = 1.5 + 3.0 * i;
            f.at(t - 0.01, [&] { seen << lc->text(); });
            f.at(t, [&, i] {
                // The second card's reply is replaced by one holding "|" in track 1.
                if (fault == "bar" && i == 1 && dialect == DialectId::Hkd382)
                    f.sim.setNextReply(kHkdBarReply);
                f.sim.swipe();
                if (fault == "bar" && i == 1 && dialect == DialectId::Vnt290b)
                    f.sim.setNextReply("AB|C"); // the answer to "Q"
            });
        }
        f.clickAt(1.5 + 3.0 * numbers.size(), &w);
        Bytes atError;
        QString messageAtError;
        f.setAnswer([&](QDialog *d) {
            if (atError.isEmpty()) {
                atError = f.records.output();
                messageAtError = f.records.message();
            }
            d->accept();
        });
        f.run(w);

        QVERIFY(!f.timedOut);
        QCOMPARE(seen, numbers);
        QCOMPARE(collected(w.collection().text()), expected);
        QCOMPARE(w.collection().count(), int(expected.size()));
        QCOMPARE(w.SaveCardNumber(), int(expected.size()) + 1);
        QCOMPARE(f.shown.size(), readErrors);
        for (const auto &s : f.shown) {
            QCOMPARE(s.title, QString("Read Swipe Error"));
            QCOMPARE(s.text, QString("Read error!  Please try again."));
        }
        QCOMPARE(atError, shownAtError);
        QCOMPARE(messageAtError, QString());
        if (numbers.isEmpty())
            QVERIFY(w.collection().isEmpty());
        QCOMPARE(f.records.message(), QString());
        QVERIFY(!w.session().portOpen());
        // Every record also in the journal, and nothing else; no journal without a record.
        QCOMPARE(QFile::exists(w.journal().path()), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(fileBytes(w.journal().path()), w.collection().text());
    }

    // A journal that cannot be written is reported once; the run takes every card as before.
    void journalFaults_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("fault");
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s folder cannot be made", d.name) << d.id << "folder";
            QTest::addRow("%s disk full", d.name) << d.id << "full";
        }
    }
    void journalFaults()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QString, fault);
        // A data folder under a plain file cannot be made, not even by root.
        const JournalHome home(fault == "folder" ? QStringLiteral("file/data") : QStringLiteral("data"));
        if (fault == "folder") {
            QFile plain(home.dir.filePath("file"));
            QVERIFY(plain.open(QIODevice::WriteOnly));
        }
        // A disk that fills up halfway through the first record.
        std::optional<FileSizeLimit> full;
        if (fault == "full")
            full.emplace(20);
        SwipeFixture f(dialect);
        f.sim.setStack(Simulator::sampleStack().mid(0, 3));
        cfrmEncodeWF w(f.connection, &f.records, &f.records);
        for (int i = 0; i < 3; ++i)
            f.swipeAt(1.5 + 3.0 * i);
        f.clickAt(10.5, &w);
        f.run(w);

        QVERIFY(!f.timedOut);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Save to File"));
        QVERIFY2(f.shown[0].text.startsWith("The run could not save card 1 in its journal ("), qPrintable(f.shown[0].text));
        QVERIFY(f.shown[0].time > 1.5 && f.shown[0].time < 4.5); // at the first card
        QCOMPARE(collected(w.collection().text()), (Records{kAnna, kBen, kAccess}));
    }

    // A run killed after two cards (SIGKILL, no chance to clean up) leaves a journal of exactly
    // those two records, and the next start offers them and saves them where the operator says.
    void killedRunLeavesItsRecords_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    void twoJournals();
    void killedRunLeavesItsRecords()
    {
        QFETCH(DialectId, dialect);
        const JournalHome home;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {kChildArgument, dialectName(dialect)});
        QVERIFY(child.waitForStarted());
        QVERIFY2(child.waitForReadyRead(60000), qPrintable(child.readAllStandardError()));
        QCOMPARE(child.readLine().trimmed(), QByteArray("2"));
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QStringList journals = QDir(SaveJournal::defaultFolder()).entryList({"save-journal*.txt"}, QDir::Files);
        QCOMPARE(journals.size(), 1);
        const QString journal = QDir(SaveJournal::defaultFolder()).filePath(journals[0]);
        QCOMPARE(fileBytes(journal), EncodeDataFile::recordLine(kAnna) + EncodeDataFile::recordLine(kBen));

        // The next start, after setup.
        SwipeFixture f(dialect);
        const QString saved = home.dir.filePath("kept.txt");
        FileButtonHooks hooks;
        hooks.askPath = [&](QWidget *, const FileDialogRequest &) { return saved; };
        FileButtons(&f.records, f.records, hooks).OfferKeptRecords();
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Save to File"));
        QVERIFY2(f.shown[0].text.contains("kept 2 records"), qPrintable(f.shown[0].text));
        QCOMPARE(collected(fileBytes(saved)), (Records{kAnna, kBen}));
        QVERIFY(!QFile::exists(journal));
    }
};

// Two save runs in one program, each with its journal: neither offers, replaces or removes the
// other's while it lives; once one has died, it alone is offered. The folder is the user's alone.
void SaveWindowTest::twoJournals()
{
    const JournalHome home;
    SaveJournal first(home.dir.filePath("first.txt")), second(home.dir.filePath("second.txt"));
    QVERIFY(first.append(1, kAnna));
    QVERIFY(second.append(1, kBen));
    QVERIFY(first.path() != second.path());
    QVERIFY(SaveJournal::leftovers().empty());
    {
        SaveJournal died(home.dir.filePath("died.txt"));
        QVERIFY(died.append(1, kAccess)); // then it goes without finish(), as in a crash
    }
    std::vector<SaveJournal::Kept> kept = SaveJournal::leftovers();
    QCOMPARE(kept.size(), size_t(1));
    QCOMPARE(kept[0].journal->chosenPath(), home.dir.filePath("died.txt"));
    QCOMPARE(collected(kept[0].records.text()), Records{kAccess});
    QVERIFY(SaveJournal::leftovers().empty()); // held by whoever took it
    kept[0].journal->finish();
    QCOMPARE(fileBytes(first.path()).endsWith(EncodeDataFile::recordLine(kAnna)), true);
    QCOMPARE(fileBytes(second.path()).endsWith(EncodeDataFile::recordLine(kBen)), true);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(SaveJournal::defaultFolder()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0700));
    first.finish();
    second.finish();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kChildArgument) == 0)
        return saveRunToBeKilled(dialectNamed(QString::fromLatin1(argv[2])).value_or(DialectId::Hkd382));
    app.setAttribute(Qt::AA_Use96Dpi, true);
    SaveWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_savewindow.moc"
