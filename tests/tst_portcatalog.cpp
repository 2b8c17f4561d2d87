// Which device each port number names, and what the setup window says about it.
#include "device/PortCatalog.h"

#include <QtTest>

namespace {
// "device|usb|description" per listed device, in the system's (unsorted) order.
QList<PortCatalog::Entry> listing(const QStringList &rows)
{
    QList<PortCatalog::Entry> out;
    for (const QString &row : rows) {
        const QStringList f = row.split('|');
        out.append({f.value(0), f.value(2), f.value(1) == "usb"});
    }
    return out;
}

const QStringList kMachine = {
    "/dev/ttyS10||", "/dev/ttyS2||", "/dev/ttyUSB1|usb|FT232R USB UART", "/dev/ttyACM0|usb|",
    "/dev/ttyUSB0|usb|CP2102 USB to UART Bridge Controller",
};
} // namespace

class PortCatalogTest : public QObject {
    Q_OBJECT

    PortCatalog ports;

private slots:
    void init()
    {
        ports = PortCatalog{};
        ports.setSimulated(false);
        ports.setLister([] { return listing(kMachine); });
    }
    void cleanupTestCase()
    {
        ports.setLister({});
        ports = PortCatalog{};
        ports.setSimulated(false);
    }

    void deviceFor_data()
    {
        QTest::addColumn<QStringList>("overrides"); // "N=DEVICE"
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("device");
#ifndef Q_OS_WIN
        QTest::newRow("USB adapters first, by name") << QStringList{} << false << 1 << "/dev/ttyACM0";
        QTest::newRow("second USB adapter") << QStringList{} << false << 2 << "/dev/ttyUSB0";
        QTest::newRow("third USB adapter") << QStringList{} << false << 3 << "/dev/ttyUSB1";
        QTest::newRow("built-in ports in number order") << QStringList{} << false << 4 << "/dev/ttyS2";
        QTest::newRow("ttyS10 after ttyS2") << QStringList{} << false << 5 << "/dev/ttyS10";
        QTest::newRow("beyond the listed devices") << QStringList{} << false << 6 << "";
        QTest::newRow("override on an unused number") << QStringList{"12=/dev/pts/7"} << false << 12 << "/dev/pts/7";
        QTest::newRow("other numbers keep the listing")
            << QStringList{"1=/dev/pts/7"} << false << 2 << "/dev/ttyUSB0";
#else
        QTest::newRow("COM by number") << QStringList{} << false << 3 << "COM3";
        QTest::newRow("override on an unused number") << QStringList{"12=COM20"} << false << 12 << "COM20";
#endif
        QTest::newRow("override wins") << QStringList{"1=/dev/pts/7"} << false << 1 << "/dev/pts/7";
        QTest::newRow("last override wins") << QStringList{"2=/dev/a", "2=/dev/b"} << false << 2 << "/dev/b";
        QTest::newRow("simulated names the encoder") << QStringList{} << true << 7 << PortCatalog::kSimulatedDevice;
        QTest::newRow("simulated beats an override")
            << QStringList{"1=/dev/pts/7"} << true << 1 << PortCatalog::kSimulatedDevice;
        QTest::newRow("number 0") << QStringList{} << false << 0 << "";
        QTest::newRow("number 13") << QStringList{"1=/dev/pts/7"} << true << 13 << "";
    }
    void deviceFor()
    {
        QFETCH(QStringList, overrides);
        QFETCH(bool, simulated);
        QFETCH(int, n);
        QFETCH(QString, device);
        for (const QString &o : overrides)
            QVERIFY(ports.setOverride(o.section('=', 0, 0).toInt(), o.section('=', 1)));
        ports.setSimulated(simulated);
        QCOMPARE(ports.deviceFor(n), device);
    }

    void rejectsBadOverrides_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("device");
        QTest::newRow("number 0") << 0 << "/dev/ttyUSB0";
        QTest::newRow("number 13") << 13 << "/dev/ttyUSB0";
        QTest::newRow("no device") << 3 << "  ";
    }
    void rejectsBadOverrides()
    {
        QFETCH(int, n);
        QFETCH(QString, device);
        ports.setLister([] { return QList<PortCatalog::Entry>{}; });
        QVERIFY(!ports.setOverride(n, device));
#ifndef Q_OS_WIN
        for (int port = PortCatalog::kFirstPort; port <= PortCatalog::kLastPort; ++port)
            QVERIFY(ports.deviceFor(port).isEmpty());
#endif
    }

    void describe_data()
    {
        QTest::addColumn<QStringList>("overrides");
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("text");
#ifndef Q_OS_WIN
        QTest::newRow("listed with a description") << QStringList{} << false << 3 << "/dev/ttyUSB1 (FT232R USB UART)";
        QTest::newRow("listed without one") << QStringList{} << false << 1 << "/dev/ttyACM0";
        QTest::newRow("nothing there") << QStringList{} << false << 9 << "No serial device for this number";
        QTest::newRow("override of a listed device by short name")
            << QStringList{"4=ttyUSB0"} << false << 4 << "ttyUSB0 (CP2102 USB to UART Bridge Controller)";
        QTest::newRow("override of an unlisted device") << QStringList{"4=/dev/pts/3"} << false << 4 << "/dev/pts/3";
#endif
        QTest::newRow("simulated") << QStringList{} << true << 5 << "Simulated encoder";
        QTest::newRow("out of range") << QStringList{} << false << 0 << "No serial device for this number";
    }
    void describe()
    {
        QFETCH(QStringList, overrides);
        QFETCH(bool, simulated);
        QFETCH(int, n);
        QFETCH(QString, text);
        for (const QString &o : overrides)
            QVERIFY(ports.setOverride(o.section('=', 0, 0).toInt(), o.section('=', 1)));
        ports.setSimulated(simulated);
        QCOMPARE(ports.describe(n), text);
    }
};

QTEST_MAIN(PortCatalogTest)
#include "tst_portcatalog.moc"
