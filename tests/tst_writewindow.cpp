// The ISO write window end to end against the simulated encoder, in both dialects, with a
// scripted operator in virtual time; and the write attempt's other forms at the byte level.
#include "operation/IsoOperations.h"
#include "Dialects.h"
#include "ScriptedLink.h"
#include "SwipeFixture.h"
#include "operation/BatchOperations.h"
#include "dialect/Commands.h"
#include "dialect/Dialect.h"
#include "iso/cfrmCopyCard.h"
#include "iso/cfrmWriteCard.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>
#include <QtTest>

using Bytes = QList<QByteArray>;

namespace {
QByteArray hex(const char *text) { return SwipeFixture::hex(text); }

const QByteArray kReset = hex("1B 61"), kSwipe = hex("1B 84"), kAtt = hex("7F");
} // namespace

class WriteWindowTest : public QObject {
    Q_OBJECT

    static void dialects()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }

private slots:
    void windowControls()
    {
        SwipeFixture f(DialectId::Hkd382);
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        QCOMPARE(w.windowTitle(), QString("Write Swipe Prompt"));
        QCOMPARE(w.findChild<QLabel *>("Label1")->text(), QString("You are writing card #                  ."));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QCOMPARE(w.findChild<QLabel *>("Label2")->text(), QString("Please swipe a card."));
        QVERIFY(w.findChild<QLabel *>("Picture1"));
    }

    // A good write, the next attempt, then Cancel while it waits for the swipe (the bytes, their
    // times and the card: tst_headless).
    void goodWriteThenCancel_data() { dialects(); }
    void goodWriteThenCancel()
    {
        QFETCH(DialectId, dialect);
        SwipeFixture f(dialect);
        f.records.setInput("B123", "", "");
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        auto *label2 = w.findChild<QLabel *>("Label2");
        bool promptWhileWaiting = false;
        f.at(1.4, [&] { promptWhileWaiting = label2->isVisible(); });
        f.swipeAt(1.5);
        f.clickAt(3.0, &w);
        f.run(w);

        QVERIFY(!f.timedOut);
        QVERIFY(promptWhileWaiting);
        QVERIFY(!label2->isVisible());
        QCOMPARE(f.records.output(), (Bytes{"B123", "", ""}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"4", "0", "0"}));
        QCOMPARE(f.records.messages(), (QStringList{"\r\nWrite complete.  Verify data accuracy before continue.", ""}));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("2"));
        QVERIFY(f.shown.isEmpty());
    }

    // A failed write: "*" in the output record, the error window framed by the error
    // indication (VNT-290B: "L", "l" first); the start not repeated when it closes.
    void failedWrite_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<int>("errorAfter");
        QTest::newRow("HKD382 reply 1B 31") << DialectId::Hkd382 << 5;
        QTest::newRow("VNT-290B card refused") << DialectId::Vnt290b << 8;
    }
    void failedWrite()
    {
        QFETCH(DialectId, dialect);
        QFETCH(int, errorAfter);
        SwipeFixture f(dialect);
        f.records.setInput("B123", "", "");
        if (dialect == DialectId::Vnt290b)
            f.sim.setBadSwipe(true);
        else
            f.sim.setStatusByte('1');
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        f.swipeAt(1.5);
        f.clickAt(8.0, &w);
        f.run(w);

        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Write Swipe Error"));
        QCOMPARE(f.shown[0].text, QString("Write error!  Please try again."));
        QCOMPARE(f.shown[0].receivedBefore, errorAfter);
        QCOMPARE(f.records.output(), (Bytes{"*", "*", "*"}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"0", "0", "0"}));
        QCOMPARE(w.findChild<QLabel *>("LC")->text(), QString("1"));
        QCOMPARE(f.records.message(), QString());
        // The start ran once: the error window's closing did not repeat it.
        QCOMPARE(f.writes().count(perDialect(dialect, kSwipe, QByteArray("("))), perDialect(dialect, 1, 2));
    }

    void errorWindowTitle_data()
    {
        QTest::addColumn<bool>("nonIso");
        QTest::addColumn<QString>("override");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << false << QString() << "Write Swipe Error";
        QTest::newRow("non-ISO") << true << QString() << "Non-ISO Write Swipe Error";
        QTest::newRow("incremental") << false << QString("Incremental Encode Write Error") << "Incremental Encode Write Error";
    }
    void errorWindowTitle()
    {
        QFETCH(bool, nonIso);
        QFETCH(QString, override);
        QFETCH(QString, title);
        SwipeFixture f(DialectId::Hkd382);
        f.records.setInput("1", "", "");
        f.sim.setStatusByte('2');
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        if (nonIso)
            w.setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
        else if (!override.isEmpty())
            w.setErrorTitles(sfrmReadErr::kTitle, override);
        f.swipeAt(1.5);
        f.clickAt(3.0, &w);
        f.run(w);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, title);
    }

    // A track typed as "+" is shown with its length (left out of the block: tst_headless).
    void plusTrackLeftOut()
    {
        SwipeFixture f(DialectId::Hkd382);
        f.records.setInput("+", "12", "");
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        f.swipeAt(1.5);
        f.clickAt(2.5, &w);
        f.run(w);
        QCOMPARE(f.records.output(), (Bytes{"+", "12", ""}));
        QCOMPARE(f.records.outputCounts(), (QStringList{"1", "2", "0"}));
    }

    // VNT-290B: track data not acknowledged ends the run after the error window.
    void refusedTrackCloses()
    {
        SwipeFixture f(DialectId::Vnt290b);
        f.records.setInput("B123", "", "");
        cfrmWriteCard w(f.connection, f.records.inputTracks(), &f.records, &f.records);
        f.at(0.35, [&] { f.sim.setNextReply("x"); });  // the answer to the track data
        f.run(w, 30.0);
        QVERIFY(!f.timedOut);
        QCOMPARE(f.shown.size(), 1);
        QCOMPARE(f.shown[0].title, QString("Write Swipe Error"));
        QCOMPARE(f.records.output(), (Bytes{"*", "*", "*"}));
        QVERIFY(!w.isVisible());
    }

    // The write attempt in the other windows' forms, byte for byte.
    void writeSwipeForms_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<QString>("event");  // "ok", "cancel", "skip", "collect", "final^x", "letter^x"
        QTest::addColumn<int>("outcome");
        QTest::addColumn<Bytes>("expected");
        const QByteArray w = hex("1B 77 1B 73 1B 01 31 1B 02 1B 03 3F 1C");
        QTest::newRow("write window: stale input dropped after the command") << "write" << DialectId::Hkd382 << "ok" << 1 << Bytes{w};
        QTest::newRow("copy: no discard after the command") << "copy" << DialectId::Hkd382 << "ok" << 0 << Bytes{w} ;
        QTest::newRow("copy: StopCollecting ends the wait") << "copy" << DialectId::Hkd382 << "collect" << 0 << Bytes{w, kReset};
        QTest::newRow("incremental: StopCollecting ends the wait") << "incremental" << DialectId::Hkd382 << "collect" << 0 << Bytes{w, kReset};
        QTest::newRow("write window: StopCollecting ignored") << "write" << DialectId::Hkd382 << "collect" << 0 << Bytes{w, kReset};
        QTest::newRow("encode file: Skip resets") << "file" << DialectId::Hkd382 << "skip" << 3 << Bytes{w, kReset};
        QTest::newRow("encode file: Cancel resets too") << "file" << DialectId::Hkd382 << "cancel" << 3 << Bytes{w, kReset};
        QTest::newRow("write window VNT: ^x accepted") << "write" << DialectId::Vnt290b << "final^x" << 1 << Bytes{"A", "1\x04", "@"};
        QTest::newRow("copy VNT: ^x refused") << "copy" << DialectId::Vnt290b << "final^x" << 0 << Bytes{"A", "1\x04", "@"};
        QTest::newRow("write window VNT: cancel aborts") << "write" << DialectId::Vnt290b << "cancel" << 0 << Bytes{"A", "1\x04", "@", "l"};
        QTest::newRow("encode file VNT: cancel sends 7F") << "file" << DialectId::Vnt290b << "cancel" << 0 << Bytes{"A", "1\x04", "@", kAtt};
        QTest::newRow("encode file VNT: skip resets") << "file" << DialectId::Vnt290b << "skip" << 3 << Bytes{"A", "1\x04", "@", kReset};
        QTest::newRow("write window VNT: letter ^x accepted") << "write" << DialectId::Vnt290b << "letter^x" << 1 << Bytes{"A", "1\x04", "@"};
        QTest::newRow("write window VNT: letter refused") << "write" << DialectId::Vnt290b << "letterx" << 2 << Bytes{"A"};
        QTest::newRow("encode file VNT: letter ^x refused") << "file" << DialectId::Vnt290b << "letter^x" << 2 << Bytes{"A"};
    }
    void writeSwipeForms()
    {
        QFETCH(QString, form);
        QFETCH(DialectId, dialect);
        QFETCH(QString, event);
        QFETCH(int, outcome);
        QFETCH(Bytes, expected);
        VirtualPacer vp;
        Connection connection;
        connection.dialect = dialect;
        connection.pacer = &vp;
        CancelToken token;
        auto end = std::make_shared<ScriptedEnd>();
        end->clock = &vp;
        Device dev{token, connection, std::make_unique<ScriptedLink>(end)};
        QVERIFY(dev.open());
        std::atomic<bool> &skip = token.SkipRequested;
        end->onWrite = [&](const QByteArray &b) {
            if (b.startsWith(hex("1B 77"))) {
                if (event == "ok") {
                    end->reply("zz", 0.0);  // stale bytes that arrive with the command
                    end->reply(hex("1B 30"), 2.0);
                }
            } else if (b == "A") {
                end->reply(event == "letter^x" ? "^x" : event == "letterx" ? "x" : "^", 0.02);
            } else if (b == "1\x04") {
                end->reply("^", 0.02);
            } else if (b == "@") {
                end->reply("^", 0.02);
                if (event == "final^x")
                    end->reply("^x", 2.0);
                else if (event == "letter^x")
                    end->reply("^", 2.0);
            } else if (b == "l" || b == kAtt) {
                end->reply("^", 0.02);
            }
        };
        if (event == "cancel")
            vp.at(3.0, [&] { token.CancelRequested = true; });
        else if (event == "collect")
            vp.at(3.0, [&] { token.StopCollecting = true; });
        else if (event == "skip")
            vp.at(3.0, [&] { skip = true; });
        if (event == "collect" && form == "write")
            vp.at(3.5, [&] { token.CancelRequested = true; });
        vp.at(50.0, [&] { token.CancelRequested = true; });  // a wait that never ends fails the row, not the run
        const WriteProfile &profile = form == "copy"          ? CopyOperation::kWrite
                                      : form == "incremental" ? IncrementalOperation::kWrite
                                      : form == "file"        ? EncodeOperation::kWrite
                                                              : WriteOperation::kWrite;
        const int got = int(dialectFor(dialect).writeIso(dev, {"1", "", ""}, profile, {}));
        Bytes writes;
        for (const auto &w : end->written)
            writes << w.bytes;
        QCOMPARE(writes, expected);
        QCOMPARE(got, outcome);
        if (dialect == DialectId::Hkd382 && event != "ok")
            QVERIFY(!dev.isOpen());  // the cancel path leaves the port closed
        if (event == "collect" && form == "write")
            QVERIFY2(vp.now() >= 3.5 - 1e-6, qPrintable(QString::number(vp.now())));
        if (event == "skip")
            QVERIFY(!skip);  // consumed
    }
};

QTEST_MAIN(WriteWindowTest)
#include "tst_writewindow.moc"
