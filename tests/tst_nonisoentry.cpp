// The non-ISO selection, density and entry windows: what each publishes, the typing filter and
// leave-checks of the entry, what "OK" hands to the swipe write, and the chain back to the
// selection window.
#include "ModalAnswerer.h"
#include "card/Validators.h"
#include "app/OperationWindows.h"
#include "device/Connection.h"
#include "device/Pacer.h"
#include "dialect/Dialect.h"
#include "support/Dialects.h"
#include "noniso/EntryBox.h"
#include "card/RawCodec.h"
#include "noniso/frmNonISOFmtSel.h"
#include "noniso/nfrmWDD.h"
#include "noniso/nfrmWrite.h"
#include "ui/main/frmMainMenu.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace NonIso;

namespace {

const QString FiveBitTitle = QStringLiteral(" 5-Bit Character (Std T2/T3) Format Error");
const QString HexTitle = QStringLiteral(" Hex Format Error");
const QString LengthTitle = QStringLiteral("Non-ISO Hex Character Length Error");

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Clicks `name` in `dialog` once the handler that found it has returned.
void clickLater(QWidget *dialog, const char *name)
{
    QPushButton *button = dialog->findChild<QPushButton *>(name);
    QVERIFY(button);
    QTimer::singleShot(0, button, &QPushButton::click);
}

Selection standard(const QString &t1, const QString &t2, const QString &t3) { return {true, {t1, t2, t3}}; }
Selection custom(const QString &t1, const QString &t2, const QString &t3) { return {false, {t1, t2, t3}}; }

QByteArray hex(const char *spaced) { return QByteArray::fromHex(QByteArray(spaced).replace(' ', "")); }

} // namespace

Q_DECLARE_METATYPE(NonIso::Selection)
Q_DECLARE_METATYPE(NonIso::Densities)

class TestNonIsoEntry : public QObject {
    Q_OBJECT

    std::unique_ptr<ModalAnswerer> answerer;
    std::unique_ptr<nfrmWrite> w;
    QList<WriteJob> jobs;

    void open(const Selection &s, const Densities &d = DefaultDensities)
    {
        jobs.clear();
        answerer->ignore("nfrmWrite"); // the test is the operator here
        w = std::make_unique<nfrmWrite>(s, d, [this](const WriteJob &job, QWidget *) { jobs.append(job); });
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void leave(int box)
    {
        w->TIT[box]->setFocus();
        QTest::keyClick(w->TIT[box], Qt::Key_Tab);
        settle();
    }

private slots:
    void init() { answerer = std::make_unique<ModalAnswerer>(); }
    void cleanup()
    {
        w.reset();
        answerer.reset();
    }

    void selectionDefaultsAndCustomAvailability_data();
    void selectionDefaultsAndCustomAvailability();
    void selectionPublishesOnReadAndWrite();
    void mainWindowOpensSelection_data();
    void mainWindowOpensSelection();
    void captions_data();
    void captions();
    void typing_data();
    void typing();
    void leaveCheck_data();
    void leaveCheck();
    void ok_data();
    void ok();
    void chainWritesAndCancelsBackToSelection();
};

// ---- Selection window ------------------------------------------------------------------------

void TestNonIsoEntry::selectionDefaultsAndCustomAvailability_data()
{
    QTest::addColumn<DialectId>("dialect");
    QTest::addColumn<bool>("customAvailable");
    for (const DialectEntry &d : kDialects)
        QTest::newRow(d.name) << d.id << perDialect(d.id, false, true);
}

void TestNonIsoEntry::selectionDefaultsAndCustomAvailability()
{
    QFETCH(DialectId, dialect);
    QFETCH(bool, customAvailable);
    frmNonISOFmtSel s(dialectFor(dialect).hasCustomNonIsoFormat());
    QCOMPARE(s.windowTitle(), QStringLiteral("Non-ISO Read/Write - Data Format Selection"));
    QVERIFY(s.Option1[0]->isChecked());
    QCOMPARE(s.Option1[1]->isEnabled(), customAvailable);
    QCOMPARE(s.Label1[2]->isEnabled(), customAvailable);
    for (int i : {3, 4, 5})
        QCOMPARE(s.LIT1[i]->isEnabled(), customAvailable);
    QCOMPARE(s.LIT1[5]->text(), QStringLiteral("T1:")); // beside Combo2(0)
    for (int t = 0; t < 3; ++t) {
        QCOMPARE(s.Combo1[t]->currentText(), standardItems().at(t));
        QCOMPARE(s.Combo2[t]->currentText(), Raw5Item);
        QVERIFY(s.Combo1[t]->isEnabled());
        QVERIFY(!s.Combo2[t]->isEnabled());
    }

    // A click on the custom format: taken only where it exists; the lists swap, keeping items.
    s.Combo1[0]->setCurrentIndex(1);
    s.Option1[1]->setChecked(true);
    s.Option1_Click(1);
    QCOMPARE(s.Option1[1]->isChecked(), customAvailable);
    QCOMPARE(s.Combo2[0]->isEnabled(), customAvailable);
    QCOMPARE(s.Combo1[0]->isEnabled(), !customAvailable);
    s.Option1[0]->click();
    QVERIFY(s.Combo1[0]->isEnabled() && !s.Combo2[0]->isEnabled());
    QCOMPARE(s.Combo1[0]->currentText(), StdT2Item);
}

void TestNonIsoEntry::selectionPublishesOnReadAndWrite()
{
    frmNonISOFmtSel s(true);
    QList<Selection> reads, writes;
    s.setReadRunner([&](const Selection &sel, QWidget *over) {
        QCOMPARE(over, &s);
        reads.append(sel);
    });
    s.setWriteRunner([&](const Selection &sel, QWidget *) { writes.append(sel); });

    s.Command1->click();
    QCOMPARE(reads.size(), 1);
    QCOMPARE(reads[0], standard(StdT1Item, StdT2Item, StdT3Item));

    s.Option1[1]->click();
    s.Combo2[2]->setCurrentIndex(2);
    s.Combo1[0]->setCurrentIndex(2); // the disabled column is not what is published
    s.Command2->click();
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes[0], custom(Raw5Item, Raw5Item, Raw7Item));
    QCOMPARE(s.published(), writes[0]);
}

void TestNonIsoEntry::mainWindowOpensSelection_data()
{
    QTest::addColumn<DialectId>("dialect");
    QTest::addColumn<bool>("customAvailable");
    for (const DialectEntry &d : kDialects)
        QTest::newRow(d.name) << d.id << perDialect(d.id, false, true);
}

void TestNonIsoEntry::mainWindowOpensSelection()
{
    QFETCH(DialectId, dialect);
    QFETCH(bool, customAvailable);
    VirtualPacer vp;
    Connection connection;
    connection.dialect = dialect;
    connection.pacer = &vp;
    frmMainMenu main(connection);
    installOperationWindows(main);
    main.show();
    bool opened = false, custom = !customAvailable;
    answerer->queueHandler([&](QWidget *dialog) {
        auto *s = qobject_cast<frmNonISOFmtSel *>(dialog);
        opened = s && s->windowModality() == Qt::WindowModal;
        custom = s && s->Option1[1]->isEnabled();
        clickLater(dialog, "Command3");
    });
    main.Command1[6]->click();
    QVERIFY(opened);
    QCOMPARE(custom, customAvailable);
    QVERIFY(!main.NonIsoActive);
}

// ---- Entry window ----------------------------------------------------------------------------

void TestNonIsoEntry::captions_data()
{
    QTest::addColumn<Selection>("selection");
    QTest::addColumn<Densities>("densities");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("max");
    const QString std = QStringLiteral("Non-ISO Write: Standard Format on Non-Standard Track (ASCII)");
    const QString hexTitle = QStringLiteral("Non-ISO Write: Custom Data Format (Hex)");
    QTest::newRow("standard, defaults")
        << standard(StdT1Item, StdT2Item, StdT3Item) << DefaultDensities << std
        << QStringList{"Track 1 Data ( 7-Bit Character ) Max 76 Characters",
                       "Track 2 Data ( 5-Bit Character ) Max 39 Characters",
                       "Track 3 Data ( 5-Bit Character ) Max 106 Characters"}
        << QList<int>{76, 39, 106};
    QTest::newRow("standard, T3 on track 1, T1 at 75")
        << standard(StdT3Item, StdT1Item, StdT2Item) << Densities{Density::Bpi210, Density::Bpi75, Density::Bpi75}
        << std
        << QStringList{"Track 1 Data ( 5-Bit Character ) Max 106 Characters",
                       "Track 2 Data ( 7-Bit Character ) Max 27 Characters",
                       "Track 3 Data ( 5-Bit Character ) Max 39 Characters"}
        << QList<int>{106, 27, 39};
    QTest::newRow("custom 7, 6 and 5 bits")
        << custom(Raw7Item, Raw6Item, Raw5Item) << Densities{Density::Bpi210, Density::Bpi75, Density::Bpi75}
        << hexTitle
        << QStringList{"Track 1 Data ( 7-Bit Character, Hex Value 01 ~ 7F ) Max 76 Characters.",
                       "Track 2 Data ( 6-Bit Character, Hex Value 01 ~ 3F ) Max 32 Characters.",
                       "Track 3 Data ( 5-Bit Character, Hex Value 01 ~ 1F ) Max 39 Characters."}
        << QList<int>{76, 32, 39};
}

void TestNonIsoEntry::captions()
{
    QFETCH(Selection, selection);
    QFETCH(Densities, densities);
    QFETCH(QString, title);
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, max);
    open(selection, densities);
    QCOMPARE(w->windowTitle(), title);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(w->Label1[i]->text(), captions[i]);
        QCOMPARE(w->maxCharacters(i + 1), max[i]);
        QCOMPARE(w->TIT[i]->maxLength(), selection.standardFormat ? max[i] : 0);
    }
    QCOMPARE(w->Label1[3]->text(), QStringLiteral("Please note LSB of first character must be a '1'."));
    QCOMPARE(w->Label1[3]->isVisible(), !selection.standardFormat);
    QCOMPARE(w->Shape1[3]->isVisible(), !selection.standardFormat);
    QCOMPARE(QApplication::focusWidget(), w->TIT[0]);
}

void TestNonIsoEntry::typing_data()
{
    QTest::addColumn<Selection>("selection");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("title"); // empty: no message
    QTest::addColumn<QString>("text");
    const Selection raw = custom(Raw7Item, Raw5Item, Raw5Item);
    const Selection t3 = standard(StdT3Item, StdT2Item, StdT3Item);
    const QString hexText = QStringLiteral("Use the following characters only:   \r\n0 1 2 3 4 5 6 7 8 9 A B C D E F ");
    QTest::newRow("pairs get their blank") << raw << "0b1f" << "0B 1F " << "2" << QString() << QString();
    QTest::newRow("a blank starts a new pair") << raw << "b 1f" << "B 1F " << "2" << QString() << QString();
    QTest::newRow("G refused") << raw << "0G" << "0" << "1" << HexTitle << hexText;
    // Enter is the window's "OK", whose check trims the entry.
    QTest::newRow("enter adds no line end") << raw << "01\n" << "01" << "1" << QString() << QString();
    QTest::newRow("5-bit standard refuses A") << t3 << "1A" << "1" << "1" << FiveBitTitle
                                              << QStringLiteral("Use the following characters only:   \r\n0 1 2 3 4 5 6 7 8 9 : ; = > ");
    QTest::newRow("7-bit standard takes capitals") << standard(StdT1Item, StdT2Item, StdT3Item) << "ab"
                                                   << "AB" << "2" << QString() << QString();
}

void TestNonIsoEntry::typing()
{
    QFETCH(Selection, selection);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    QFETCH(QString, count);
    QFETCH(QString, title);
    QFETCH(QString, text);
    open(selection);
    for (QChar c : keys) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(w->TIT[0], Qt::Key_Return);
        else
            QTest::keyClicks(w->TIT[0], QString(c));
    }
    settle();
    QCOMPARE(w->TIT[0]->text(), after);
    QCOMPARE(w->LT[0]->text(), count);
    QCOMPARE(answerer->count(), title.isEmpty() ? 0 : 1);
    if (!title.isEmpty()) {
        QCOMPARE(answerer->last().title, title);
        QCOMPARE(answerer->last().text, text);
        QCOMPARE(answerer->last().kind, QStringLiteral("information"));
    }
    QCOMPARE(w->focusWidget(), w->TIT[0]);
}

void TestNonIsoEntry::leaveCheck_data()
{
    QTest::addColumn<Selection>("selection");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("title"); // empty: passes, no message
    const Selection raw5 = custom(Raw5Item, Raw5Item, Raw5Item);
    const QString v5 = QStringLiteral("Non-ISO 5-Bit Data Format Error");
    QTest::newRow("01 1F passes") << raw5 << " 01 1f  " << "01 1F" << hex("01 1F") << QString();
    QTest::newRow("first value even") << raw5 << "02 1F" << "02 1F" << QByteArray() << v5;
    QTest::newRow("20 above 5 bits") << raw5 << "01 20" << "01 20" << QByteArray() << v5;
    QTest::newRow("reserved 04") << raw5 << "01 04" << "01 04" << QByteArray() << v5;
    QTest::newRow("4 alone") << raw5 << "4" << "4" << QByteArray() << v5;
    QTest::newRow("00") << custom(Raw7Item, Raw5Item, Raw5Item) << "00" << "00" << QByteArray()
                        << QStringLiteral("Non-ISO 7-Bit Data Format Error");
    QTest::newRow("three digits") << raw5 << "0B1" << "0B1" << QByteArray() << LengthTitle;
    QTest::newRow("pasted non-hex group") << raw5 << "01 1G" << "01 1G" << QByteArray() << HexTitle;
    QTest::newRow("line ends inside") << raw5 << "01\r\n1F\r\n" << "01  1F" << hex("01 1F") << QString();
    QTest::newRow("blanks and line ends only") << raw5 << " \r\n " << "" << QByteArray() << QString();
    QTest::newRow("standard 5-bit refuses ?") << standard(StdT2Item, StdT2Item, StdT3Item) << "12?34" << "12?34"
                                              << QByteArray() << FiveBitTitle;
}

void TestNonIsoEntry::leaveCheck()
{
    QFETCH(Selection, selection);
    QFETCH(QString, entry);
    QFETCH(QString, after);
    QFETCH(QByteArray, data);
    QFETCH(QString, title);
    open(selection);
    QGuiApplication::clipboard()->setText(entry);
    QTest::keyClick(w->TIT[0], Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(answerer->count(), 0);
    leave(0);
    QCOMPARE(w->TIT[0]->text(), after);
    QCOMPARE(w->NonIsoWriteData(1), data);
    if (title.isEmpty()) {
        QCOMPARE(answerer->count(), 0);
        QCOMPARE(QApplication::focusWidget(), w->TIT[1]);
        return;
    }
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, title);
    QCOMPARE(w->focusWidget(), w->TIT[0]);
    if (title == QStringLiteral("Non-ISO 5-Bit Data Format Error"))
        QCOMPARE(answerer->last().text, QStringLiteral("Use number 01~03 and 05~1F only.      \n\r"
                                                       "04 is reserved for encoder use. \n\rLSB of first character\n\r"
                                                       "must be a '1'."));
    if (title == LengthTitle)
        QCOMPARE(answerer->last().text, QStringLiteral("A hex character consists of a pair of  \n\r0123456789ABCDEF.\n\r"
                                                       "Append a leading zero as necessary,\n\rsuch as 0B."));
}

// "OK" checks the boxes as they are now and hands on only data that passes.
void TestNonIsoEntry::ok_data()
{
    QTest::addColumn<Selection>("selection");
    QTest::addColumn<QStringList>("leftWith");  // box texts, each box left after it is set
    QTest::addColumn<QStringList>("okWith");    // box texts set afterwards, boxes not left
    QTest::addColumn<QStringList>("messages");  // titles and texts seen, in order
    QTest::addColumn<int>("focusBox");          // box with the focus after OK (-1: not checked)
    QTest::addColumn<QList<QByteArray>>("written"); // the job's data, empty when nothing ran
    const Selection raw7 = custom(Raw7Item, Raw5Item, Raw6Item);
    const Selection std3 = standard(StdT1Item, StdT2Item, StdT3Item);
    const QString pairs77 = QStringLiteral("01 ").repeated(77);
    const QStringList none{"", "", ""};
    QTest::newRow("valid custom")
        << raw7 << QStringList{"01 7f", "", "3f"} << none << QStringList{} << -1
        << QList<QByteArray>{hex("01 7F"), "", hex("3F")};
    QTest::newRow("valid standard, not left")
        << std3 << none << QStringList{"ab", "12", ""} << QStringList{} << -1
        << QList<QByteArray>{"AB", "12", ""};
    QTest::newRow("invalid, never left")
        << raw7 << none << QStringList{"01", "02", ""}
        << QStringList{"Non-ISO 5-Bit Data Format Error"} << 1 << QList<QByteArray>{};
    QTest::newRow("stale: changed after leaving")
        << raw7 << QStringList{"01 1F", "", ""} << QStringList{"01 1G", "", ""}
        << QStringList{HexTitle} << 0 << QList<QByteArray>{};
    QTest::newRow("emptied after leaving")
        << raw7 << QStringList{"01", "", ""} << QStringList{"  ", "", ""} << QStringList{} << -1
        << QList<QByteArray>{};
    QTest::newRow("over the limit")
        << raw7 << none << QStringList{pairs77, "", ""}
        << QStringList{"Non-ISO Write", "Max Characters are 76  ", "Non-ISO Write", "Max Characters are 76  "} << 0
        << QList<QByteArray>{};
    QTest::newRow("blanks only") << raw7 << QStringList{" ", "  ", ""} << none << QStringList{} << -1 << QList<QByteArray>{};
    QTest::newRow("no-data mark only") << std3 << none << QStringList{"+", "", ""} << QStringList{} << -1
                                       << QList<QByteArray>{};
    QTest::newRow("three empty boxes") << std3 << none << none << QStringList{} << -1 << QList<QByteArray>{};
}

void TestNonIsoEntry::ok()
{
    QFETCH(Selection, selection);
    QFETCH(QStringList, leftWith);
    QFETCH(QStringList, okWith);
    QFETCH(QStringList, messages);
    QFETCH(int, focusBox);
    QFETCH(QList<QByteArray>, written);
    open(selection);
    for (int i = 0; i < 3; ++i) {
        if (leftWith[i].isEmpty())
            continue;
        w->TIT[i]->setText(leftWith[i]);
        leave(i);
    }
    QCOMPARE(answerer->count(), 0);
    for (int i = 0; i < 3; ++i)
        if (!okWith[i].isEmpty())
            w->TIT[i]->setText(okWith[i]);
    w->Command1[0]->click();
    settle();

    QStringList seen;
    for (const ModalAnswerer::Seen &s : answerer->seen()) {
        seen << s.title;
        if (s.title == QStringLiteral("Non-ISO Write"))
            seen << s.text;
    }
    QCOMPARE(seen, messages);
    if (focusBox >= 0)
        QCOMPARE(w->focusWidget(), w->TIT[focusBox]);
    QVERIFY(w->isVisible());
    if (written.isEmpty()) {
        QCOMPARE(jobs.size(), 0);
        return;
    }
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(jobs[0].standardFormat, selection.standardFormat);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(jobs[0].tracks[size_t(i)].data, written[i]);
        QCOMPARE(jobs[0].tracks[size_t(i)].item, selection.trackFormat[size_t(i)]);
        QCOMPARE(jobs[0].tracks[size_t(i)].density, DefaultDensities[size_t(i)]);
    }
}

// Selection, "Write", densities, entry, "OK" into the swipe write, "Cancel": back to the
// selection window, with the density window gone.
void TestNonIsoEntry::chainWritesAndCancelsBackToSelection()
{
    frmNonISOFmtSel s(true);
    answerer->ignore("frmNonISOFmtSel");
    s.show();
    s.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s));
    QList<WriteJob> written;
    QPointer<nfrmWDD> densities;
    bool densitiesHiddenDuringEntry = false;
    s.setSwipeWriteRunner([&](const WriteJob &job, QWidget *over) {
        QVERIFY(qobject_cast<nfrmWrite *>(over));
        written.append(job);
    });
    s.Option1[1]->click();

    answerer->queueHandler([&](QWidget *dialog) {
        densities = qobject_cast<nfrmWDD *>(dialog);
        QVERIFY(densities);
        QCOMPARE(densities->windowTitle(), QStringLiteral("Non-ISO Write - Data Density Selection"));
        densities->Combo1[0]->setCurrentIndex(1); // track 1 at 75 BPI
        clickLater(dialog, "Command2");
    });
    answerer->queueHandler([&](QWidget *dialog) {
        auto *entry = qobject_cast<nfrmWrite *>(dialog);
        QVERIFY(entry);
        densitiesHiddenDuringEntry = densities && !densities->isVisible();
        entry->TIT[0]->setText(QStringLiteral("01 1F"));
        clickLater(dialog, "Command1_0");
        clickLater(dialog, "Command1_1");
    });
    s.Command2->click();
    settle();

    QVERIFY(densitiesHiddenDuringEntry);
    QVERIFY(densities.isNull() || !densities->isVisible());
    QVERIFY(s.isVisible());
    QCOMPARE(written.size(), 1);
    QVERIFY(!written[0].standardFormat);
    QCOMPARE(written[0].tracks[0].data, hex("01 1F"));
    QCOMPARE(written[0].densities(), (Densities{Density::Bpi75, Density::Bpi75, Density::Bpi210}));
    QCOMPARE(QApplication::activeModalWidget(), &s);
}

QTEST_MAIN(TestNonIsoEntry)
#include "tst_nonisoentry.moc"
