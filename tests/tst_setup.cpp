// The setup window: settings string, handshake of both dialects byte for byte with its waits,
// the communication error window and the settings store.
#include "Dialects.h"
#include "ScriptedLink.h"
#include "ui/setup/SettingsStore.h"
#include "dialect/Commands.h"
#include "device/Pacer.h"
#include "ui/setup/frmCommSetup.h"
#include "ui/setup/sfrmErrComm1.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtTest>

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

struct Reply {
    QByteArray to;
    QByteArray bytes;
};
} // namespace

class SetupTest : public QObject {
    Q_OBJECT

    std::optional<VirtualPacer> clock;
    VirtualPacer *vp = nullptr;
    std::shared_ptr<ScriptedEnd> end;
    Connection base; // links to the scripted encoder, on virtual time
    std::unique_ptr<frmCommSetup> setup;
    int connectedCount = 0;
    Connection connectedWith; // what the main window was handed
    int saves = 0;
    // The error windows seen: time and reason.
    QList<QPair<double, QString>> errors;
    QList<bool> busyAtError; // a busy cursor was showing when each error window came

    QTimer answerer;

    void answerErrors()
    {
        auto *err = qobject_cast<sfrmErrComm1 *>(QApplication::activeModalWidget());
        if (err && err->isVisible()) {
            errors.append({vp->now(), err->Reason->text()});
            busyAtError.append(QApplication::overrideCursor() != nullptr);
            err->Command1->click();
        }
    }

    // The encoder answers each command in `replies` 50 ms later.
    void encoderAnswers(QList<Reply> replies)
    {
        end->onWrite = [this, replies](const QByteArray &b) {
            for (const auto &r : replies)
                if (r.to == b)
                    end->reply(r.bytes, 0.05);
        };
    }

    QRadioButton *modeButton(DialectId d) const { return setup->Option2[perDialect(d, 1, 0)]; }

    double clickOk()
    {
        const double t0 = vp->now();
        setup->Command1->click();
        return t0;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        connect(&answerer, &QTimer::timeout, this, &SetupTest::answerErrors);
        answerer.start(0);
    }

    void init()
    {
        vp = &clock.emplace(10.0);
        end = std::make_shared<ScriptedEnd>();
        end->clock = vp;
        base = {};
        base.links = [this](DialectId) { return std::make_unique<ScriptedLink>(end); };
        base.pacer = vp;
        setup = std::make_unique<frmCommSetup>(base);
        setup->onConnected = [this](const Connection &c) {
            ++connectedCount;
            connectedWith = c;
        };
        setup->onSaveSettings = [this](const Connection &c) {
            ++saves;
            SaveSettings(c);
        };
        connectedCount = 0;
        saves = 0;
        errors.clear();
        busyAtError.clear();
        openSettingsStore()->clear();
    }
    void cleanup()
    {
        setup.reset();
        clock.reset();
    }

    void defaultsAndCaptions()
    {
        QCOMPARE(setup->windowTitle(), QString("KAVRO VNT-410 Series Utility: Initial Setup"));
        frmCommSetup plain(base);
        plain.setShowMakerInTitles(false);
        QCOMPARE(plain.windowTitle(), QString("VNT-410 Series Utility: Initial Setup"));
        QVERIFY(setup->Option2[1]->isChecked());
        QCOMPARE(setup->Option2[1]->text(), QString("HKD382"));
        QCOMPARE(setup->Option2[0]->text(), QString("VNT-290B"));
        QVERIFY(setup->Option1[0]->isChecked());
        QCOMPARE(setup->Combo1->count(), 12);
        QCOMPARE(setup->Combo1->currentText(), QString("1"));
        QCOMPARE(setup->Combo2->currentText(), QString("9600"));
        QCOMPARE(setup->Combo3->currentText(), QString("None"));
        QCOMPARE(setup->Combo4->currentText(), QString("8"));
        auto items = [](QComboBox *c) {
            QStringList l;
            for (int i = 0; i < c->count(); ++i)
                l << c->itemText(i);
            return l;
        };
        QCOMPARE(items(setup->Combo2), QStringList({"19200", "9600", "4800", "2400", "1200"}));
        QCOMPARE(items(setup->Combo3), QStringList({"None", "Even", "Odd"}));
        QCOMPARE(items(setup->Combo4), QStringList({"8", "7"}));
        QVERIFY(setup->Command1->isDefault());
    }

    void settingsString_data()
    {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<QString>("bits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("defaults") << "9600" << "None" << "8" << "9600,n,8,1";
        QTest::newRow("odd 7 bits 2400") << "2400" << "Odd" << "7" << "2400,o,7,1";
        QTest::newRow("even") << "19200" << "Even" << "8" << "19200,e,8,1";
    }
    void settingsString()
    {
        QFETCH(QString, baud);
        QFETCH(QString, parity);
        QFETCH(QString, bits);
        QFETCH(QString, expected);
        setup->Combo2->setCurrentText(baud);
        setup->Combo3->setCurrentText(parity);
        setup->Combo4->setCurrentText(bits);
        setup->Combo1->setCurrentText("4");
        clickOk();
        QCOMPARE(setup->connection().settings(), expected);
        QCOMPARE(setup->connection().port, 4);
    }

    void hkdHandshake_data()
    {
        QTest::addColumn<bool>("lowCo");
        QTest::newRow("High Co") << false;
        QTest::newRow("Low Co") << true;
    }
    void hkdHandshake()
    {
        QFETCH(bool, lowCo);
        setup->Option1[lowCo ? 1 : 0]->setChecked(true);
        const QByteArray co = lowCo ? Cmd::Hkd::SetLowCo : Cmd::Hkd::SetHighCo;
        encoderAnswers({{Cmd::Hkd::CommTest, hex("1B 79")}, {co, hex("1B 30")}});
        const double t0 = clickOk();

        QCOMPARE(end->written.size(), 4);
        QCOMPARE(end->written[0].bytes, hex("1B 61"));
        QCOMPARE(end->written[1].bytes, hex("1B 65"));
        QCOMPARE(end->written[2].bytes, hex("1B 61"));
        QCOMPARE(end->written[3].bytes, co);
        // Reset goes unanswered: 1 s; then the reply to the test after 50 ms; then 0.5 s of quiet.
        QVERIFY(end->written[1].time - t0 > 1.0 && end->written[1].time - t0 < 1.03);
        QVERIFY(end->written[3].time - end->written[2].time >= 0.5 - 1e-9);
        QVERIFY(end->written[3].time - end->written[2].time < 0.52);
        QCOMPARE(connectedCount, 1);
        QCOMPARE(saves, 1);
        QVERIFY(errors.isEmpty());
        QCOMPARE(connectedWith.highCoercivity, !lowCo);
    }

    void hkdSilentFailsAfterTwoSeconds()
    {
        // The wait shows a busy cursor and says what it waits for; both gone before the error.
        QString during;
        bool busyDuring = false;
        vp->at(11.0, [&] {
            during = setup->Status->text();
            busyDuring = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        const double t0 = clickOk();
        QCOMPARE(during, QStringLiteral("Testing the encoder\u2026"));
        QVERIFY(busyDuring);
        QCOMPARE(busyAtError, QList<bool>{false});
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(setup->Status->text().isEmpty());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].first - t0 > 2.0 && errors[0].first - t0 < 2.1, qPrintable(QString::number(errors[0].first - t0)));
        QCOMPARE(end->writtenBytes(), hex("1B 61 1B 65"));
        QCOMPARE(connectedCount, 0);
        QVERIFY(setup->Command1->isEnabled());
        // The next OK closes and re-opens the port and tries again.
        encoderAnswers({{Cmd::Hkd::CommTest, hex("1B 79")}, {Cmd::Hkd::SetHighCo, hex("1B 30")}});
        clickOk();
        QCOMPARE(end->opens, 2);
        QCOMPARE(connectedCount, 1);
    }

    void hkdWrongCoercivityReply()
    {
        encoderAnswers({{Cmd::Hkd::CommTest, hex("1B 79")}, {Cmd::Hkd::SetHighCo, hex("1B 31")}});
        clickOk();
        QCOMPARE(errors.size(), 1);
        QCOMPARE(connectedCount, 0);
    }

    void vntHandshake_data()
    {
        QTest::addColumn<QByteArray>("attentionReply");
        QTest::addColumn<QByteArray>("coReply");
        QTest::addColumn<int>("errorWindows");
        QTest::addColumn<bool>("reachesMain");
        QTest::newRow("idle, acknowledged") << QByteArray(":") << QByteArray("^") << 0 << true;
        QTest::newRow("silent at attention, acknowledged") << QByteArray() << QByteArray("^") << 0 << true;
        QTest::newRow("^ with more is accepted") << QByteArray(":") << QByteArray("^12") << 0 << true;
        QTest::newRow(": alone is accepted") << QByteArray(":") << QByteArray(":") << 0 << true;
        QTest::newRow(": with more is not, yet goes on") << QByteArray(":") << QByteArray(":x") << 1 << true;
        QTest::newRow("wrong answer to attention stays") << QByteArray("?") << QByteArray("^") << 1 << false;
        QTest::newRow("silent coercivity stays") << QByteArray(":") << QByteArray() << 1 << false;
    }
    void vntHandshake()
    {
        QFETCH(QByteArray, attentionReply);
        QFETCH(QByteArray, coReply);
        QFETCH(int, errorWindows);
        QFETCH(bool, reachesMain);
        setup->Option2[0]->setChecked(true);
        QList<Reply> replies;
        if (!attentionReply.isEmpty())
            replies.append({Cmd::Vnt::Attention, attentionReply});
        if (!coReply.isEmpty())
            replies.append({"{", coReply});
        encoderAnswers(replies);
        clickOk();
        QCOMPARE(setup->connection().dialect, DialectId::Vnt290b);
        QCOMPARE(errors.size(), errorWindows);
        QCOMPARE(connectedCount, reachesMain ? 1 : 0);
        QCOMPARE(saves, reachesMain ? 1 : 0);
        const QByteArray expected = attentionReply == "?" ? hex("7F") : hex("7F 7B");
        QCOMPARE(end->writtenBytes(), expected);
    }

    void vntSilentFailsOneSecondAfterFirstTest()
    {
        setup->Option2[0]->setChecked(true);
        setup->Option1[1]->setChecked(true);
        const double t0 = clickOk();
        QCOMPARE(end->written.size(), 2);
        QCOMPARE(end->written[1].bytes, QByteArray("|"));
        // Attention: 1 s unanswered, then 1 s serving the window, then 1 s for the coercivity.
        QVERIFY(end->written[1].time - t0 > 2.0 && end->written[1].time - t0 < 2.05);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].first - end->written[1].time > 1.0 && errors[0].first - end->written[1].time < 1.03);
        QCOMPARE(connectedCount, 0);
    }

    void settingsStore_data()
    {
        QTest::addColumn<DialectId>("dialect");
        for (const DialectEntry &d : kDialects)
            QTest::newRow(d.name) << d.id;
    }
    void settingsStore()
    {
        QFETCH(DialectId, dialect);
        modeButton(dialect)->setChecked(true);
        setup->Option1[1]->setChecked(true);
        setup->Combo1->setCurrentText("3");
        setup->Combo2->setCurrentText("2400");
        setup->Combo3->setCurrentText("Odd");
        setup->Combo4->setCurrentText("7");
        encoderAnswers({{Cmd::Hkd::CommTest, hex("1B 79")}, {Cmd::Hkd::SetLowCo, hex("1B 30")}, {"|", "^"}, {Cmd::Vnt::Attention, ":"}});
        clickOk();
        QCOMPARE(connectedCount, 1);
        auto store = openSettingsStore();
        QCOMPARE(store->value("Globe/Mode").toString(), perDialect(dialect, QString("HKD382"), QString("VNT-290B")));
        QCOMPARE(store->value("Globe/Coercivity").toString(), QString("Low"));
        QCOMPARE(store->value("Comm/Port").toString(), QString("3"));
        QCOMPARE(store->value("Comm/Baud").toString(), QString("2400"));
        QCOMPARE(store->value("Comm/Parity").toString(), QString("Odd"));
        QCOMPARE(store->value("Comm/DataBit").toString(), QString("7"));
    }

    // The operator gives up, or the device goes away, while a silent encoder is waited for:
    // the handshake ends at once. Cancel ends the program with nothing more sent; a lost port
    // is a port failure, reported with its reason.
    void handshakeCutShort_data()
    {
        QTest::addColumn<DialectId>("dialect");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QByteArray>("sent");
        for (const bool cancel : {true, false})
            for (const DialectEntry &d : kDialects)
                QTest::addRow("%s %s", d.name, cancel ? "Cancel" : "port lost")
                    << d.id << cancel << perDialect(d.id, hex("1B 61"), hex("7F"));
    }
    void handshakeCutShort()
    {
        QFETCH(DialectId, dialect);
        QFETCH(bool, cancel);
        QFETCH(QByteArray, sent);
        modeButton(dialect)->setChecked(true);
        int ended = 0;
        setup->onEndProgram = [&ended] { ++ended; };
        vp->after(0.5, [this, cancel] {
            if (cancel)
                setup->Command2->click();
            else
                end->vanished = true;
        });
        const double t0 = clickOk();
        QVERIFY2(vp->now() - t0 < 0.55, qPrintable(QString::number(vp->now() - t0)));
        QCOMPARE(end->writtenBytes(), sent);
        QCOMPARE(ended, cancel ? 1 : 0);
        QCOMPARE(connectedCount, 0);
        QCOMPARE(errors.size(), cancel ? 0 : 1);
        if (!cancel) {
            QVERIFY(!errors[0].second.isEmpty());
            QVERIFY(setup->Command1->isEnabled());
        }
    }

    void portThatCannotOpenSaysWhy()
    {
        end->failOpen = true;
        clickOk();
        QCOMPARE(errors.size(), 1);
        QVERIFY(!errors[0].second.isEmpty());
        QVERIFY(end->written.isEmpty());
        QVERIFY(setup->Command1->isEnabled());
        QCOMPARE(connectedCount, 0);
    }

    void errorWindowTexts()
    {
        sfrmErrComm1 err;
        QCOMPARE(err.windowTitle(), QString("Communications Error"));
        QCOMPARE(err.Label1[0]->text(), QString("     Is encoder connected to PC?"));
        QCOMPARE(err.Label1[1]->text(), QString("     Is COM port selection correct?"));
        QCOMPARE(err.Label1[2]->text(), QString("     Is encoder powered up?"));
        QCOMPARE(err.Label1[3]->text(), QString("     Is emulation mode selection        correct?"));
        QVERIFY(err.Reason->isHidden());
    }
};

QTEST_MAIN(SetupTest)
#include "tst_setup.moc"
