// The encode-from-file window end to end, from the main window's file button, in both dialects:
// the card number and record shown, the error windows of retries, Skip, Cancel and refusals, and
// when the end-of-file window follows. The bytes and the cards written are the headless suite's.
#include "Dialects.h"
#include "SwipeFixture.h"
#include "batch/FileButtons.h"
#include "batch/cfrmEncodeRF.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray kFile = "B1111^ONE^1|1111=1|\r\n|2222=2|+\r\nTHREE||333\r\n";

// What a card on the pile holds, as "track 1|track 2|track 3".
QByteArray cardText(const SimCard &card)
{
    return card.tracks[0].chars + '|' + card.tracks[1].chars + '|' + card.tracks[2].chars;
}
} // namespace

class EncodeWindowTest : public QObject {
    Q_OBJECT

private slots:
    void windowControls()
    {
        SwipeFixture f(DialectId::Hkd382);
        cfrmEncodeRF w(f.connection, QByteArray(), &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("File Encode Prompt - Write Record"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("You are writing card #                 ."));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        auto *skip = w.findChild<QPushButton *>("Command1_1");
        QVERIFY(skip);
        QCOMPARE(skip->text(), QString("Skip"));
        QVERIFY(!skip->isEnabled());
        QCOMPARE(w.findChild<QPushButton *>("Command1")->text(), QString("Cancel"));
    }

    // The three records of a file onto a stack of blank cards. The operator acts every 3.5 s:
    // "swipe", "bad" (a swipe that fails), "skip" or "cancel".
    void run_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("prompts"); // LC and the input box of track 1 at each act
        QTest::addColumn<int>("writeErrors");
        QTest::addColumn<int>("endOfFile");       // how many times "End of file reached" showed
        QTest::addColumn<int>("runEnd");

        const QString one = "B1111^ONE^1", two = "", three = "THREE";
        const int eof = int(EncodeRunEnd::EndOfFile), cancelled = int(EncodeRunEnd::Cancelled),
                  stopped = int(EncodeRunEnd::Stopped);
        for (const DialectEntry &d : kDialects) {
            QTest::addRow("%s three cards", d.name) << d.id << QStringList{"swipe", "swipe", "swipe"} << QString()
                                                    << QStringList{"1 " + one, "2 " + two, "3 " + three}
                                                    << 0 << 1 << eof;
            QTest::addRow("%s failed card retried", d.name)
                << d.id << QStringList{"bad", "swipe", "swipe", "swipe"} << QString()
                << QStringList{"1 " + one, "1 " + one, "2 " + two, "3 " + three} << 1 << 1 << eof;
            QTest::addRow("%s skip at the first attempt", d.name)
                << d.id << QStringList{"skip", "swipe", "swipe"} << QString()
                << QStringList{"1 " + one, "1 " + two, "2 " + three} << 0 << 1 << eof;
            QTest::addRow("%s skip after a failure", d.name)
                << d.id << QStringList{"bad", "skip", "swipe", "swipe"} << QString()
                << QStringList{"1 " + one, "1 " + one, "1 " + two, "2 " + three} << 1 << 1 << eof;
            QTest::addRow("%s cancel in the middle", d.name)
                << d.id << QStringList{"swipe", "cancel"} << QString() << QStringList{"1 " + one, "2 " + two} << 0 << 0
                << cancelled;
        }
        // The encoder refuses the track data: the error window, then the run ends, records unwritten.
        QTest::addRow("VNT-290B refused write") << DialectId::Vnt290b << QStringList{} << QString("A") << QStringList{}
                                                << 1 << 0 << stopped;
        // The encoder will not arm at the start: the read error window, then the window closes.
        QTest::addRow("VNT-290B start refused") << DialectId::Vnt290b << QStringList{} << QString("(") << QStringList{}
                                                << 0 << 0 << stopped;
    }
    void run()
    {
        QFETCH(DialectId, dialect);
        QFETCH(QStringList, script);
        QFETCH(QString, fault);
        QFETCH(QStringList, prompts);
        QFETCH(int, writeErrors);
        QFETCH(int, endOfFile);
        QFETCH(int, runEnd);

        SwipeFixture f(dialect);
        f.sim.setStack(Simulator::blankStack(5));
        if (!fault.isEmpty())
            f.sim.setCommandFault(fault.toLatin1(), Simulator::Fault::Refuse);
        QTemporaryDir dir;
        const QString path = dir.filePath("cards.txt");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kFile);
        }

        QStringList seen;
        EncodeRunEnd end = EncodeRunEnd::Stopped;
        bool timedOut = false, cancelledFlag = false;
        FileButtonHooks hooks;
        hooks.askPath = [&](QWidget *, const FileDialogRequest &) { return path; };
        hooks.encodeWindow = [&](const QByteArray &records) {
            cfrmEncodeRF w(f.connection, records, &f.records, &f.records);
            auto *lc = w.findChild<QLabel *>("LC");
            for (int i = 0; i < script.size(); ++i) {
                const double t = 1.5 + 3.5 * i;
                f.at(t - 0.01, [&] { seen << lc->text() + ' ' + QString::fromLatin1(f.records.texts[0]); });
                const QString act = script[i];
                if (act == "skip")
                    f.clickAt(t, &w, "Command1_1");
                else if (act == "cancel")
                    f.clickAt(t, &w);
                else
                    f.at(t, [&f, act] {
                        f.sim.setNextSwipeBad(act == "bad");
                        f.sim.swipe();
                    });
            }
            f.run(w, 60.0);
            timedOut = f.timedOut;
            end = w.runEnd();
            cancelledFlag = w.FileEncodeCancelled();
            return end;
        };
        FileButtons buttons(&f.records, f.records, hooks);
        buttons.EncodeFromFile();

        QVERIFY2(!timedOut, qPrintable(f.timeline()));
        QCOMPARE(seen, prompts);
        QCOMPARE(int(end), runEnd);
        QCOMPARE(cancelledFlag, end == EncodeRunEnd::Cancelled);
        int errors = 0, eofShown = 0, readErrors = 0;
        for (const auto &s : f.shown) {
            errors += s.title == "Write Swipe Error" && s.text == "Write error!  Please try again.";
            readErrors += s.title == "Read Swipe Error";
            eofShown += s.title == "File Encode Complete (EOF)" && s.text == "End of file reached.  Press OK to exit.";
        }
        QCOMPARE(errors, writeErrors);
        QCOMPARE(eofShown, endOfFile);
        QCOMPARE(readErrors, fault == "(" ? 1 : 0);
        QCOMPARE(int(f.shown.size()), errors + eofShown + readErrors);
    }

    // The record goes to the encoder as it stands in the file, whatever the input boxes hold.
    void fieldsWrittenAsBytes()
    {
        SwipeFixture f(DialectId::Hkd382);
        f.sim.setStack(Simulator::blankStack(1));
        cfrmEncodeRF w(f.connection, "ABC|123|\r\n", &f.records, &f.records);
        f.at(1.0, [&] { f.records.texts[0] = "XYZ"; }); // the box changed behind the window's back
        f.swipeAt(1.5);
        f.run(w, 30.0);
        QCOMPARE(f.sim.swipedCards().size(), 1);
        QCOMPARE(cardText(f.sim.swipedCards()[0]), QByteArray("ABC|123|"));
        QCOMPARE(w.runEnd(), EncodeRunEnd::EndOfFile);
    }
};

QTEST_MAIN(EncodeWindowTest)
#include "tst_encodewindow.moc"
