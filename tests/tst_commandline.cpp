// The command line without a display, and the traffic trace a support person asks for.
#include "ScriptedLink.h"
#include "app/CommandLine.h"
#include "device/Pacer.h"
#include "device/TraceLink.h"

#include <QTemporaryDir>
#include <QtTest>

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("says");
        using A = CommandLine::Action;
        QTest::newRow("nothing") << QStringList{} << int(A::Run) << "";
        QTest::newRow("help") << QStringList{"--help"} << int(A::Print) << "--trace FILE";
        QTest::newRow("help names the card data option") << QStringList{"--help"} << int(A::Print)
                                                         << "--trace-card-data  Write track data to the trace";
        QTest::newRow("card data without a trace") << QStringList{"--trace-card-data"} << int(A::UsageError)
                                                   << "--trace-card-data needs --trace FILE";
        QTest::newRow("version") << QStringList{"--version"} << int(A::Print) << "vnt410-utility 1.2";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << int(A::UsageError) << "See --help.";
        QTest::newRow("positional") << QStringList{"extra"} << int(A::UsageError) << "unexpected argument";
        QTest::newRow("blank device") << QStringList{"--port", "1= "} << int(A::UsageError) << "N=DEVICE";
        QTest::newRow("port 13") << QStringList{"--port", "13=/dev/x"} << int(A::UsageError) << "1 to 12";
        QTest::newRow("port twice") << QStringList{"--port", "1=/dev/a", "--port", "1=/dev/b"} << int(A::UsageError)
                                    << "port 1 is named twice";
        QTest::newRow("trace without file") << QStringList{"--trace"} << int(A::UsageError) << "See --help.";
    }
    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, says);
        const CommandLine c = parseCommandLine(QStringList{"vnt410-utility"} + args, "1.2");
        QCOMPARE(int(c.action), action);
        QVERIFY2(c.text.contains(says), qPrintable(c.text));
        if (c.action == CommandLine::Action::UsageError)
            QVERIFY(c.text.endsWith("See --help.\n"));
    }
    void options()
    {
        const CommandLine c = parseCommandLine(
            {"vnt410-utility", "--simulate", "--port", "2=/dev/ttyUSB0", "--trace", "/tmp/t.txt", "--trace-card-data"}, "1");
        QCOMPARE(int(c.action), int(CommandLine::Action::Run));
        QVERIFY(c.simulate);
        QCOMPARE(c.ports.value(2), QString("/dev/ttyUSB0"));
        QCOMPARE(c.trace, QString("/tmp/t.txt"));
        QVERIFY(c.traceCardData);
        QVERIFY(!parseCommandLine({"vnt410-utility", "--trace", "/tmp/t.txt"}, "1").traceCardData);
    }

    // Every chunk in each direction, in order, in hex, as it happens.
    void traceLines()
    {
        QTemporaryDir dir;
        VirtualPacer vp;
        auto trace = std::make_shared<TraceFile>(vp, TraceCardData::Shown);
        QVERIFY(trace->open(dir.filePath("trace.txt"), "vnt410-utility 0"));
        auto end = std::make_shared<ScriptedEnd>();
        end->clock = &vp;
        end->onWrite = [&](const QByteArray &) { end->reply("\x1b" "0", 0.0); };
        TraceLink link(std::make_unique<ScriptedLink>(end), trace, DialectId::Hkd382);
        QVERIFY(link.open(1, "9600,n,8,1"));
        QVERIFY(link.write("\x1b\x72"));
        QCOMPARE(link.takeAll(), QByteArray("\x1b" "0"));
        QCOMPARE(link.takeAll(), QByteArray());
        link.close();
        QFile f(dir.filePath("trace.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].endsWith("; track data shown as sent and received (--trace-card-data)"));
        QVERIFY(lines[1].endsWith("* open port 1, HKD382, 9600 baud, no parity, 8 data bits, 1 stop bit: ok"));
        QVERIFY(lines[2].endsWith("> 1B 72  |.r|"));
        QVERIFY(lines[3].endsWith("< 1B 30  |.0|"));
        QVERIFY(lines[4].endsWith("* close"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
