// The main window: typing filter, leave-check, counts, the "Write" button, the dispatch of the
// eight buttons and the placement on resize.
#include "ModalAnswerer.h"
#include "app/OperationWindows.h"
#include "batch/SaveJournal.h"
#include "card/Validators.h"
#include "ui/main/frmMainMenu.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QtTest>
#include <memory>

namespace {

const QString SevenBitTitle = QStringLiteral(" 7-Bit Character (Std T1) Format Error");
const QString FiveBitTitle = QStringLiteral(" 5-Bit Character (Std T2/T3) Format Error");

QString sevenBitText(const QString &word)
{
    return QStringLiteral("Use the ") + word + QStringLiteral(" characters only:   \n"
           "SP ! \" # $ % & ' ( ) * + , - . / 0 1 2 3 4 5 6 7 8 9 : ; = > @ A B C   \n"
           "D E F G H I J K L M N O P Q R S T U V W X Y Z [ \\ ] ^ _");
}

QString fiveBitText(const QString &word)
{
    return QStringLiteral("Use the ") + word + QStringLiteral(" characters only:   \n0 1 2 3 4 5 6 7 8 9 : ; = > ");
}

// Lets queued work (the leave-check) run.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

struct StepRecord {
    MainWindowStep step;
    QStringList input, output;
    QString message;
    bool cancelRequested;
    bool nonIsoActive;
    int eraseMask; // the mask handed to the step
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadShowsSettings();
    void typedLowerCaseBecomesCapital();
    void refusedKeys_data();
    void refusedKeys();
    void controlKeysPass_data();
    void controlKeysPass();
    void leaveCheck_data();
    void leaveCheck();
    void typingMessageDoesNotTriggerLeaveCheck();
    void twoInvalidBoxesDoNotPingPong();
    void buttonPressWithInvalidBoxDoesNothing();
    void longestTexts();
    void longTracksShowTheirStart_data();
    void longTracksShowTheirStart();
    void writeFollowsInput_data();
    void writeFollowsInput();
    void writeWithEmptyRecord();
    void activationDisablesWriteAndShowsMode();
    void dispatch_data();
    void dispatch();
    void nothingOpensWithoutRunners();
    void tabOrder();
    void resizeScalesControls();
    void answererQueuesAndIgnores();
    void encodeFromFile_data();
    void encodeFromFile();
    void saveToFile_data();
    void saveToFile();
    void offerKeptRecords_data();
    void offerKeptRecords();

private:
    // Opens the main window on `connection`, active, the focus in track 1.
    void open(const Connection &connection);
    void fill();
    void paste(int box, const QString &text);
    void recordAll();

    Connection connection; // what setup chose
    std::unique_ptr<frmMainMenu> w;
    std::unique_ptr<ModalAnswerer> answerer;
    QList<StepRecord> steps;
    // What a step does while it runs and what it answers (by default: shown, not confirmed).
    std::function<StepAnswer(MainWindowStep)> behaviour;
};

void TestMainWindow::initTestCase()
{
    connection.port = 3;
    connection.baud = QStringLiteral("9600");
    connection.parity = QStringLiteral("None");
    connection.dataBits = QStringLiteral("8");
    connection.highCoercivity = true;
    connection.dialect = DialectId::Hkd382;
}

void TestMainWindow::open(const Connection &c)
{
    w = std::make_unique<frmMainMenu>(c);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    w->TIT[0]->setFocus();
}

void TestMainWindow::init()
{
    open(connection);
    answerer = std::make_unique<ModalAnswerer>();
    steps.clear();
    behaviour = nullptr;
}

void TestMainWindow::cleanup()
{
    answerer.reset();
    w.reset();
}

void TestMainWindow::fill()
{
    w->setTrackText(0, "ABC");
    w->setTrackText(1, "123");
    w->setTrackText(2, "456");
    w->setTrackText(3, "XYZ");
    w->setTrackText(4, "789");
    w->setTrackText(5, "012");
}

void TestMainWindow::paste(int box, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    w->TIT[box]->setFocus();
    QTest::keyClick(w->TIT[box], Qt::Key_V, Qt::ControlModifier);
}

// Every step records what the main window held when its window would open.
void TestMainWindow::recordAll()
{
    for (int s = 0; s < MainWindowStepCount; ++s) {
        const auto step = MainWindowStep(s);
        w->setWindowRunner(step, [this, step](const StepAnswer &previous) {
            StepRecord r{step, {}, {}, w->message(), false, w->NonIsoActive, previous.eraseMask};
            for (int i = 0; i < 3; ++i) {
                r.input << w->trackString(i);
                r.output << w->trackString(i + 3);
            }
            steps.append(r);
            return behaviour ? behaviour(step) : StepAnswer(true);
        });
    }
}

void TestMainWindow::loadShowsSettings()
{
    QCOMPARE(w->windowTitle(), QStringLiteral("KAVRO VNT-410 Series Utility: Main Menu"));
    QCOMPARE(w->Label2[0]->text(), QStringLiteral("COM 3"));
    QCOMPARE(w->Label2[1]->text(), QStringLiteral("9600"));
    QCOMPARE(w->Label2[2]->text(), QStringLiteral("None"));
    QCOMPARE(w->Label2[3]->text(), QStringLiteral("8"));
    QCOMPARE(w->Label2[4]->text(), QStringLiteral("High"));
    QCOMPARE(w->Label5->text(), QStringLiteral("HKD382"));
    QCOMPARE(w->Command1[6]->text(), QStringLiteral("Non-ISO Read/Write"));
    QCOMPARE(w->LIT1[5]->text(), QStringLiteral("T1:"));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(w->LT[i]->text(), QStringLiteral("0"));
}

void TestMainWindow::typedLowerCaseBecomesCapital()
{
    QTest::keyClicks(w->TIT[0], "ab1");
    QCOMPARE(w->trackString(0), QStringLiteral("AB1"));
    QCOMPARE(w->LT[0]->text(), QStringLiteral("3"));
    QCOMPARE(answerer->count(), 0);
}

void TestMainWindow::refusedKeys_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("? in track 1") << 0 << "?" << SevenBitTitle << sevenBitText("following");
    QTest::newRow("< in track 1") << 0 << "<" << SevenBitTitle << sevenBitText("following");
    QTest::newRow("` in track 1") << 0 << "`" << SevenBitTitle << sevenBitText("following");
    QTest::newRow("A in track 2") << 1 << "A" << FiveBitTitle << fiveBitText("following");
    QTest::newRow("space in track 2") << 1 << " " << FiveBitTitle << fiveBitText("following");
    QTest::newRow("? in track 3") << 2 << "?" << FiveBitTitle << fiveBitText("following");
}

void TestMainWindow::refusedKeys()
{
    QFETCH(int, box);
    QFETCH(QString, key);
    QFETCH(QString, title);
    QFETCH(QString, text);
    w->setTrackText(box, "12");
    w->TIT[box]->setFocus();
    QTest::keyClicks(w->TIT[box], key);
    settle();

    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer->last().kind, QStringLiteral("information"));
    QCOMPARE(answerer->last().title, title);
    QCOMPARE(answerer->last().text, text);
    QCOMPARE(answerer->last().pressed.remove(QLatin1Char('&')), QStringLiteral("OK"));
    QCOMPARE(w->trackString(box), QStringLiteral("12"));
    QCOMPARE(w->focusWidget(), w->TIT[box]);
}

void TestMainWindow::controlKeysPass_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    for (int box = 0; box < 3; ++box) {
        QTest::addRow("backspace in box %d", box) << box << int(Qt::Key_Backspace) << "1";
        QTest::addRow("enter in box %d", box) << box << int(Qt::Key_Return) << "12";
    }
}

void TestMainWindow::controlKeysPass()
{
    QFETCH(int, box);
    QFETCH(int, key);
    QFETCH(QString, after);
    w->setTrackText(box, "12");
    w->TIT[box]->setFocus();
    // A text set shows its start; the operator goes to its end first.
    QTest::keyClick(w->TIT[box], Qt::Key_End);
    QTest::keyClick(w->TIT[box], Qt::Key(key));
    settle();
    QCOMPARE(answerer->count(), 0);
    QCOMPARE(w->trackString(box), after); // no line break in the two-line box either
}

void TestMainWindow::leaveCheck_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("title"); // empty: no message
    QTest::addColumn<QString>("text");
    QTest::newRow("track 2 passes <") << 1 << "12<34" << "12<34" << QString() << QString();
    QTest::newRow("track 2 refuses ?") << 1 << "12?34" << "12?34" << FiveBitTitle << fiveBitText("fellowing");
    QTest::newRow("track 3 refuses ?") << 2 << "12?34" << "12?34" << FiveBitTitle << fiveBitText("fellowing");
    QTest::newRow("track 3 refuses a line break") << 2 << "12\n34" << "12\n34" << FiveBitTitle << fiveBitText("fellowing");
    QTest::newRow("track 1 upper-cases") << 0 << "b1234^doe" << "B1234^DOE" << QString() << QString();
    QTest::newRow("track 1 passes <") << 0 << "a<b" << "A<B" << QString() << QString();
    QTest::newRow("track 1 refuses ?") << 0 << "a?b" << "A?B" << SevenBitTitle << sevenBitText("fellowing");
    QTest::newRow("track 1 refuses non-Latin-1") << 0 << "A\u20AC" << "A\u20AC" << SevenBitTitle << sevenBitText("fellowing");
    QTest::newRow("track 1 keeps \u00DF, never SS") << 0 << "stra\u00DFe" << "STRA\u00DFE" << SevenBitTitle << sevenBitText("fellowing");
}

void TestMainWindow::leaveCheck()
{
    QFETCH(int, box);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    QFETCH(QString, title);
    QFETCH(QString, text);
    paste(box, pasted);
    QCOMPARE(answerer->count(), 0); // pasting itself is not checked
    QCOMPARE(w->trackString(box), pasted);

    QTest::keyClick(w->TIT[box], Qt::Key_Tab);
    settle();
    QCOMPARE(w->trackString(box), after);
    if (title.isEmpty()) {
        QCOMPARE(answerer->count(), 0);
        QCOMPARE(QApplication::focusWidget(), box < 2 ? w->TIT[box + 1] : static_cast<QWidget *>(w->Command1[0]));
    } else {
        QCOMPARE(answerer->count(), 1);
        QCOMPARE(answerer->last().kind, QStringLiteral("information"));
        QCOMPARE(answerer->last().title, title);
        QCOMPARE(answerer->last().text, text);
        QCOMPARE(w->focusWidget(), w->TIT[box]);
    }
}

void TestMainWindow::typingMessageDoesNotTriggerLeaveCheck()
{
    paste(1, "12?34");
    QTest::keyClicks(w->TIT[1], "A");
    settle();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().text, fiveBitText("following"));
    QCOMPARE(w->focusWidget(), w->TIT[1]);

    // Leaving afterwards brings the leave-check's message, once.
    w->activateWindow(); // the offscreen platform does not hand activation back by itself
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QCOMPARE(QApplication::focusWidget(), w->TIT[1]);
    QTest::keyClick(w->TIT[1], Qt::Key_Tab);
    settle();
    QCOMPARE(answerer->count(), 2);
    QCOMPARE(answerer->last().text, fiveBitText("fellowing"));
    settle();
    QCOMPARE(answerer->count(), 2);
    QCOMPARE(w->focusWidget(), w->TIT[1]);
}

// Under a real window system the focus-back after the message moves the focus out of box 1,
// which must not count as leaving it; the offscreen platform does not re-activate the window
// after a message, so that half is only exercised under X.
void TestMainWindow::twoInvalidBoxesDoNotPingPong()
{
    w->setTrackText(0, "A?");
    w->setTrackText(1, "1?");
    w->TIT[0]->setFocus();
    QTest::keyClick(w->TIT[0], Qt::Key_Tab);
    settle();
    settle();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, SevenBitTitle);
    QCOMPARE(w->focusWidget(), w->TIT[0]);
}

void TestMainWindow::buttonPressWithInvalidBoxDoesNothing()
{
    recordAll();
    w->setTrackText(3, "XYZ");
    paste(1, "12?34");
    QTest::mouseClick(w->Command1[0], Qt::LeftButton);
    settle();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, FiveBitTitle);
    QVERIFY(steps.isEmpty());
    QCOMPARE(w->trackString(1), QStringLiteral("12?34"));
    QCOMPARE(w->trackString(3), QStringLiteral("XYZ"));
    QCOMPARE(w->focusWidget(), w->TIT[1]);
    QVERIFY(!w->Command1[0]->isDown());
}

void TestMainWindow::longestTexts()
{
    const int longest[] = {76, 37, 104};
    for (int box = 0; box < 3; ++box) {
        w->setTrackText(box, QByteArray(120, '1'));
        QCOMPARE(w->trackString(box).size(), longest[box]);
        QCOMPARE(w->LT[box]->text(), QString::number(longest[box]));
        // Further typing is ignored, without a message.
        w->TIT[box]->setFocus();
        QTest::keyClicks(w->TIT[box], "2");
        QCOMPARE(w->trackString(box).size(), longest[box]);
        QVERIFY(!w->trackString(box).contains('2'));
    }
    QCOMPARE(answerer->count(), 0);
    // Output boxes show what they are given, and count it.
    w->setTrackText(3, "%B1234^X?");
    QCOMPARE(w->LT[3]->text(), QStringLiteral("9"));
    w->ClearOutputRecord();
    QCOMPARE(w->LT[3]->text(), QStringLiteral("0"));
    QVERIFY(w->trackString(3).isEmpty());
}

void TestMainWindow::longTracksShowTheirStart_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("leave"); // false: the text is set; true: typed to its end and left
    const char *names[] = {"input T1", "input T2", "input T3", "output T1", "output T2", "output T3"};
    for (int box = 0; box < 6; ++box) {
        QTest::addRow("%s set", names[box]) << box << false;
        QTest::addRow("%s left", names[box]) << box << true;
    }
}

void TestMainWindow::longTracksShowTheirStart()
{
    QFETCH(int, box);
    QFETCH(bool, leave);
    // Track 1 with "<" and ">": the tooltip must show them, not take them for markup.
    const int longest[] = {76, 37, 104};
    const int track = box % 3;
    const QByteArray text = track == 0 ? QByteArray("<B>START ").append(QByteArray(67, 'W'))
                                       : QByteArray("1234").append(QByteArray(longest[track] - 4, '9'));
    w->setTrackText(box, text);
    if (leave) {
        w->TIT[box]->setFocus(Qt::MouseFocusReason);
        if (auto *line = qobject_cast<QLineEdit *>(w->TIT[box]))
            line->end(false);
        else
            static_cast<QPlainTextEdit *>(w->TIT[box])->moveCursor(QTextCursor::End);
        w->TIT[box == 1 ? 0 : 1]->setFocus(Qt::TabFocusReason);
        settle();
        QCOMPARE(answerer->count(), 0);
    }
    if (auto *line = qobject_cast<QLineEdit *>(w->TIT[box])) {
        QCOMPARE(line->cursorPosition(), 0);
    } else {
        auto *edit = qobject_cast<QPlainTextEdit *>(w->TIT[box]);
        QVERIFY(edit);
        QCOMPARE(edit->textCursor().position(), 0);
        QCOMPARE(edit->verticalScrollBar()->value(), 0);
    }
    QCOMPARE(w->trackText(box), text);
    QTextDocument tip;
    tip.setHtml(w->TIT[box]->toolTip());
    QCOMPARE(tip.toPlainText(), QString::fromLatin1(text));
}

void TestMainWindow::writeFollowsInput_data()
{
    QTest::addColumn<int>("box");
    for (int box = 0; box < 3; ++box)
        QTest::addRow("box %d", box) << box;
}

void TestMainWindow::writeFollowsInput()
{
    QFETCH(int, box);
    QVERIFY(!w->Command1[1]->isEnabled());
    w->TIT[box]->setFocus();
    QTest::keyClicks(w->TIT[box], "1");
    QVERIFY(w->Command1[1]->isEnabled());
    QCOMPARE(w->LT[box]->text(), QStringLiteral("1"));
    QTest::keyClick(w->TIT[box], Qt::Key_Backspace);
    QVERIFY(!w->Command1[1]->isEnabled());
    QCOMPARE(w->LT[box]->text(), QStringLiteral("0"));
    // Output boxes do not count.
    w->setTrackText(box + 3, "1");
    QVERIFY(!w->Command1[1]->isEnabled());
}

void TestMainWindow::writeWithEmptyRecord()
{
    recordAll();
    w->setTrackText(3, "XYZ");
    w->setMessage(QStringLiteral("\nold"));
    w->Command1_Click(1);
    QVERIFY(steps.isEmpty());
    QCOMPARE(w->message(), QStringLiteral("\nPlease fill in the input record."));
    QCOMPARE(w->trackString(3), QStringLiteral("XYZ"));
    QCOMPARE(answerer->count(), 0);
}

void TestMainWindow::activationDisablesWriteAndShowsMode()
{
    Connection vnt = connection;
    vnt.dialect = DialectId::Vnt290b;
    open(vnt);
    w->Command1[1]->setEnabled(true);
    w->Label5->clear();
    w->Form_Activate();
    QVERIFY(!w->Command1[1]->isEnabled());
    QCOMPARE(w->Label5->text(), QStringLiteral("VNT-290B"));

    // Also after an operation window has closed.
    recordAll();
    behaviour = [this](MainWindowStep) {
        w->Label5->clear();
        return StepAnswer(true);
    };
    w->Command1_Click(0);
    QCOMPARE(w->Label5->text(), QStringLiteral("VNT-290B"));
}

void TestMainWindow::dispatch_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("answers");  // how the windows answer
    QTest::addColumn<QList<int>>("order"); // steps shown, in order
    QTest::addColumn<bool>("inputDuring"); // input record still filled when the first window opens
    QTest::addColumn<bool>("outputDuring");
    QTest::addColumn<bool>("outputAfter"); // output record still filled afterwards

    using S = MainWindowStep;
    auto ids = [](std::initializer_list<S> s) {
        QList<int> l;
        for (S x : s)
            l << int(x);
        return l;
    };
    QTest::newRow("Read") << 0 << "" << ids({S::ReadCard}) << false << false << false;
    QTest::newRow("Write") << 1 << "" << ids({S::WriteCard}) << true << false << false;
    QTest::newRow("Copy") << 2 << "" << ids({S::CopyCard}) << false << false << false;
    QTest::newRow("Encode from File") << 3 << "" << ids({S::EncodeFromFile}) << false << false << false;
    QTest::newRow("Save to File") << 4 << "" << ids({S::SaveToFile}) << false << false << false;
    QTest::newRow("Incremental, all confirmed") << 5 << "confirm"
        << ids({S::IncrementTrackSelect, S::IncrementRecordEntry, S::IncrementWrite, S::IncrementComplete})
        << false << true << false;
    QTest::newRow("Incremental, track selection cancelled") << 5 << ""
        << ids({S::IncrementTrackSelect}) << false << true << true;
    QTest::newRow("Incremental, record entry cancelled") << 5 << "confirm-first"
        << ids({S::IncrementTrackSelect, S::IncrementRecordEntry}) << false << true << true;
    QTest::newRow("Non-ISO") << 6 << "" << ids({S::NonIsoFormatSelect}) << false << false << false;
    QTest::newRow("Erase, no track chosen") << 7 << "" << ids({S::EraseTrackSelect}) << false << false << false;
    QTest::newRow("Erase, tracks 1 and 2") << 7 << "mask"
        << ids({S::EraseTrackSelect, S::EraseCard}) << false << false << false;
}

void TestMainWindow::dispatch()
{
    QFETCH(int, index);
    QFETCH(QString, answers);
    QFETCH(QList<int>, order);
    QFETCH(bool, inputDuring);
    QFETCH(bool, outputDuring);
    QFETCH(bool, outputAfter);

    recordAll();
    behaviour = [&](MainWindowStep step) {
        // An operation writes into the records while it runs; the main window clears them after.
        if (step == MainWindowStep::ReadCard || step == MainWindowStep::EraseCard)
            w->setTrackText(3, "READ");
        if (answers == "confirm" || (answers == "confirm-first" && step == MainWindowStep::IncrementTrackSelect))
            return StepAnswer::confirmedWith();
        if (answers == "mask" && step == MainWindowStep::EraseTrackSelect)
            return StepAnswer::confirmedWith(3);
        return StepAnswer(true);
    };
    fill();
    w->setMessage(QStringLiteral("\nold message"));
    w->NonIsoActive = false;

    w->Command1_Click(index);

    QList<int> shown;
    for (const StepRecord &r : steps)
        shown << int(r.step);
    QCOMPARE(shown, order);

    const QStringList filledIn{"ABC", "123", "456"}, filledOut{"XYZ", "789", "012"}, empty{"", "", ""};
    QCOMPARE(steps.first().input, inputDuring ? filledIn : empty);
    QCOMPARE(steps.first().output, outputDuring ? filledOut : empty);
    for (const StepRecord &r : steps) {
        QVERIFY(r.message.isEmpty());
        QVERIFY(!r.cancelRequested);
        QCOMPARE(r.nonIsoActive, r.step == MainWindowStep::NonIsoFormatSelect);
        if (r.step == MainWindowStep::EraseTrackSelect)
            QCOMPARE(r.eraseMask, 0);
        if (r.step == MainWindowStep::EraseCard)
            QCOMPARE(r.eraseMask, 3); // the tracks chosen, handed on
    }
    for (int i = 0; i < 3; ++i) {
        QVERIFY(w->trackString(i).isEmpty());
        QCOMPARE(w->LT[i]->text(), QStringLiteral("0"));
        QCOMPARE(w->trackString(i + 3), outputAfter ? filledOut[i] : QString());
    }
    QVERIFY(!w->NonIsoActive);
    QVERIFY(!w->Command1[1]->isEnabled());
    QCOMPARE(answerer->count(), 0);
}

void TestMainWindow::nothingOpensWithoutRunners()
{
    fill();
    for (int index = 0; index < 8; ++index) {
        w->setTrackText(0, "A");
        w->Command1_Click(index);
    }
    QVERIFY(!w->NonIsoActive);
    QCOMPARE(answerer->count(), 0);
}

void TestMainWindow::tabOrder()
{
    w->setTrackText(0, "A"); // enables "Write"
    w->TIT[0]->setFocus();
    QList<QWidget *> visited;
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
        visited << QApplication::focusWidget();
    }
    QList<QWidget *> expected{w->TIT[1], w->TIT[2]};
    for (int i : {0, 1, 2, 7, 3, 4, 5, 6})
        expected << w->Command1[i];
    QCOMPARE(visited, expected);
    QCOMPARE(answerer->count(), 0);
}

void TestMainWindow::resizeScalesControls()
{
    const QRect before = w->Command1[6]->geometry();
    const QSize design = w->size();
    w->resize(design * 2);
    settle();
    const QRect after = w->Command1[6]->geometry();
    QVERIFY(std::abs(after.left() - 2 * before.left()) <= 1);
    QVERIFY(std::abs(after.top() - 2 * before.top()) <= 1);
    QVERIFY(std::abs(after.width() - 2 * before.width()) <= 1);
    QVERIFY(std::abs(after.height() - 2 * before.height()) <= 1);
    // Fonts are not scaled.
    QCOMPARE(w->Command1[6]->font(), w->Command1[0]->font());

    w->resize(design);
    settle();
    QCOMPARE(w->Command1[6]->geometry(), before);
    QCOMPARE(w->size(), design);
}

// The test helper itself: queued answers in order, ignored dialog classes left alone.
void TestMainWindow::answererQueuesAndIgnores()
{
    answerer->ignore("QInputDialog");
    answerer->queueButton(QMessageBox::No);
    QInputDialog input(w.get());
    int answer = 0;
    QTimer::singleShot(0, &input, [&] {
        answer = QMessageBox::question(&input, QStringLiteral("Sure?"), QStringLiteral("Really?"));
        QTimer::singleShot(0, &input, [&] { input.reject(); });
    });
    input.exec();
    QCOMPARE(answer, int(QMessageBox::No));
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().kind, QStringLiteral("question"));
    QCOMPARE(answerer->last().title, QStringLiteral("Sure?"));
    QCOMPARE(answerer->last().text, QStringLiteral("Really?"));
    // The queue is used up: the next box gets OK again.
    QMessageBox::information(w.get(), QStringLiteral("t"), QStringLiteral("x"));
    QCOMPARE(answerer->last().pressed.remove(QLatin1Char('&')), QStringLiteral("OK"));
}

// "Encode from File": the open dialog, the check of the whole file before the run, the records
// the encode window takes, and the end-of-file window only when the file ran out.
void TestMainWindow::encodeFromFile_data()
{
    QTest::addColumn<QString>("name");        // the path the dialog gives, in a fresh folder; "" cancels
    QTest::addColumn<QByteArray>("content");  // written to "cards.txt"
    QTest::addColumn<int>("take");            // records the encode window takes (-1: until the end)
    QTest::addColumn<int>("runEnd");          // how the window says its run ended
    QTest::addColumn<QByteArrayList>("taken");
    QTest::addColumn<QStringList>("seen");    // title, "|", text of each window shown

    const QByteArray three = "A|1|2\r\nB|3|4\nC|5|6";
    const QByteArrayList all = {"A|1|2", "B|3|4", "C|5|6"};
    const QString eof = QStringLiteral("File Encode Complete (EOF)|End of file reached.  Press OK to exit.");
    const QString format = QStringLiteral("File Encode - File Format Error|Incorrect file format. Select ASCII format only.\n");
    const int end = int(EncodeRunEnd::EndOfFile), cancelled = int(EncodeRunEnd::Cancelled), stopped = int(EncodeRunEnd::Stopped);

    QTest::newRow("run to the end") << "cards.txt" << three << -1 << end << all << QStringList{eof};
    QTest::newRow("cancelled") << "cards.txt" << three << 1 << cancelled << all.mid(0, 1) << QStringList{};
    QTest::newRow("refused with records left") << "cards.txt" << three << 2 << stopped << all.mid(0, 2) << QStringList{};
    QTest::newRow("no such file") << "other.txt" << three << -1 << end << QByteArrayList{}
                                  << QStringList{"File Encode|File not exists. "};
    QTest::newRow("bad later record") << "cards.txt" << QByteArray("A|1|2\r\nB|X|4\r\n") << -1 << end << QByteArrayList{}
                                      << QStringList{format + "Record 2: track 2 holds a character that track 2 cannot hold"};
    QTest::newRow("empty file") << "cards.txt" << QByteArray() << -1 << end << QByteArrayList{}
                                << QStringList{format + "The file holds no record."};
    QTest::newRow("a folder") << "folder" << three << -1 << end << QByteArrayList{}
                              << QStringList{"File Encode|Not a regular file: a folder.\n%1"};
    QTest::newRow("dialog cancelled") << "" << three << -1 << end << QByteArrayList{} << QStringList{};
}

void TestMainWindow::encodeFromFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, take);
    QFETCH(int, runEnd);
    QFETCH(QByteArrayList, taken);
    QFETCH(QStringList, seen);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QFile file(dir.filePath("cards.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const QString path = name.isEmpty() ? QString() : dir.filePath(name);

    QList<FileDialogRequest> requests;
    QByteArrayList got;
    FileButtonHooks hooks;
    hooks.askPath = [&](QWidget *parent, const FileDialogRequest &r) {
        requests << r;
        [&] { QCOMPARE(parent, w.get()); }();
        return path;
    };
    hooks.encodeWindow = [&](const QByteArray &content) {
        EncodeDataFile::RecordTaker records(content);
        for (int i = 0; take < 0 || i < take; ++i) {
            const auto r = records.next();
            if (!r)
                break;
            got << r->track[0] + '|' + r->track[1] + '|' + r->track[2];
        }
        return EncodeRunEnd(runEnd);
    };
    installFileButtons(*w, hooks);
    fill();
    w->Command1_Click(3);

    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].save, false);
    QCOMPARE(requests[0].title, QStringLiteral("Open - Look in:"));
    QCOMPARE(requests[0].filter, QStringLiteral("Encode Data Files (*.txt)"));
    // The file just saved has no extension: the dialog also lists all files.
    QCOMPARE(dialogFilters(requests[0]), (QStringList{"Encode Data Files (*.txt)", "All Files (*)"}));
    QCOMPARE(requests[0].proposedName, QString());
    QCOMPARE(got, taken);
    QStringList shown;
    for (const auto &s : answerer->seen())
        shown << s.title + '|' + s.text;
    for (QString &s : seen)
        if (s.contains("%1"))
            s = s.arg(path);
    QCOMPARE(shown, seen);
    if (name == "other.txt")
        QCOMPARE(answerer->last().kind, QStringLiteral("warning"));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(w->trackString(i), QString());
}

// "Save to File": the save dialog with its proposed name, the records the save window
// collected, the overwrite question only for an existing file, and no record lost: every
// failure shows the save error and offers the dialog again until the operator cancels it.
void TestMainWindow::saveToFile_data()
{
    QTest::addColumn<QStringList>("paths");   // what the dialog gives, in turn, in a fresh folder; "" cancels
    QTest::addColumn<int>("cards");           // records the save window collected
    QTest::addColumn<QList<int>>("answers");  // to the overwrite questions, in turn
    QTest::addColumn<QStringList>("seen");    // title, "|", text of each window shown
    QTest::addColumn<QString>("savedIn");     // the file that holds the records at the end
    QTest::addColumn<QString>("lostIn");      // a file the records must not reach; "" none

    const QString question = QStringLiteral("File Overwrite Prompt|File '%1/old.txt' exists. overwrite? ");
    const QString abort = QStringLiteral("File Overwrite Abort|No card swipe(s) saved to ");
    const int yes = QMessageBox::Yes, no = QMessageBox::No;

    QTest::newRow("new file") << QStringList{"new.txt"} << 2 << QList<int>{} << QStringList{} << "new.txt" << "";
    QTest::newRow("existing file, Yes") << QStringList{"old.txt"} << 2 << QList<int>{yes} << QStringList{question}
                                        << "old.txt" << "";
    QTest::newRow("existing file, No, then cancel") << QStringList{"old.txt", ""} << 2 << QList<int>{no}
                                                    << QStringList{question, abort} << "" << "old.txt";
    QTest::newRow("existing file, No, then another") << QStringList{"old.txt", "new.txt"} << 2 << QList<int>{no}
                                                     << QStringList{question, abort} << "new.txt" << "old.txt";
    QTest::newRow("missing folder, then another") << QStringList{"missing/a.txt", "new.txt"} << 2 << QList<int>{}
                                                  << QStringList{abort + "\n*"} << "new.txt" << "";
    QTest::newRow("read-only folder, then another") << QStringList{"locked/a.txt", "new.txt"} << 2 << QList<int>{}
                                                    << QStringList{abort + "\n*"} << "new.txt" << "";
    QTest::newRow("a folder, then another") << QStringList{"folder", "new.txt"} << 2 << QList<int>{}
                                            << QStringList{abort + "\n*"} << "new.txt" << "";
    QTest::newRow("read-only file system, then another") << QStringList{"/proc/a.txt", "new.txt"} << 2 << QList<int>{}
                                                         << QStringList{abort + "\n*"} << "new.txt" << "";
    QTest::newRow("nothing collected") << QStringList{"new.txt"} << 0 << QList<int>{} << QStringList{} << "" << "new.txt";
    QTest::newRow("dialog cancelled") << QStringList{""} << 2 << QList<int>{} << QStringList{} << "" << "";
}

void TestMainWindow::saveToFile()
{
    QFETCH(QStringList, paths);
    QFETCH(int, cards);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, seen);
    QFETCH(QString, savedIn);
    QFETCH(QString, lostIn);

    QTemporaryDir dir;
    const QByteArray old = "OLD||\r\n";
    QFile oldFile(dir.filePath("old.txt"));
    QVERIFY(oldFile.open(QIODevice::WriteOnly));
    oldFile.write(old);
    oldFile.close();
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    if (paths.first().startsWith("locked")) {
        QFile probe(dir.filePath("locked/probe"));
        if (probe.open(QIODevice::WriteOnly)) // root writes anyway
            QSKIP("a read-only folder takes files for this user");
    }

    // A journal of another run that died: no save run's business (the start-up offers it).
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    const QString journal = QDir(SaveJournal::defaultFolder()).filePath("save-journal-dead.txt");
    QVERIFY(QDir().mkpath(SaveJournal::defaultFolder()));
    QFile journalFile(journal);
    QVERIFY(journalFile.open(QIODevice::WriteOnly));
    journalFile.write("%B1^DOE^|1=2|\r\n+|+|+\r\n");
    journalFile.close();
    QString runJournal;

    const QDateTime clock(QDate(2026, 12, 7), QTime(12, 34, 56, 550));
    const QString proposed = QStringLiteral("E720264529.txt"); // whatever the locale
    QStringList log;
    QList<FileDialogRequest> requests;
    FileButtonHooks hooks;
    hooks.now = [&] { return clock; };
    hooks.askPath = [&](QWidget *, const FileDialogRequest &r) {
        requests << r;
        const QString name = paths.value(requests.size() - 1);
        log << "dialog " + name;
        return name.isEmpty() ? QString() : QDir(dir.path()).filePath(name);
    };
    EncodeDataFile::SaveCollection collected;
    if (cards > 0) {
        QVERIFY(collected.append({{"%B1^DOE^", "1=2", ""}}));
        QVERIFY(collected.append({{"+", "+", "+"}}));
    }
    hooks.saveWindow = [&](SaveJournal &journal) {
        log << "save window";
        for (int i = 0; i < collected.count(); ++i)
            journal.append(i + 1, {{"+", "+", "+"}});
        runJournal = journal.path();
        return collected;
    };
    QStringList shownPaths;
    answerer->setDialogHandler([&](QWidget *dialog) {
        if (auto *lc = dialog->findChild<QLineEdit *>("LC"))
            shownPaths << lc->text();
        dialog->findChild<QPushButton *>("Command1")->click();
    });
    for (int a : answers)
        answerer->queueButton(QMessageBox::StandardButton(a));
    installFileButtons(*w, hooks);
    fill();
    w->Command1_Click(4);

    // The dialog first, the save window once, the dialog again after each failure.
    QStringList expectedLog{"dialog " + paths.first()};
    if (!paths.first().isEmpty())
        expectedLog << "save window";
    if (cards > 0)
        for (const QString &p : paths.mid(1))
            expectedLog << "dialog " + p;
    QCOMPARE(log, expectedLog);
    QCOMPARE(requests.first().save, true);
    QCOMPARE(requests.first().title, QStringLiteral("Save As - Save in:"));
    QCOMPARE(requests.first().filter, QStringLiteral("Encode Data Files (*.txt)"));
    QCOMPARE(requests.first().proposedName, proposed);
    for (int i = 1; i < requests.size(); ++i)
        QCOMPARE(requests[i].proposedName, QDir(dir.path()).filePath(paths[i - 1]));

    QCOMPARE(answerer->count(), int(seen.size()));
    for (int i = 0; i < seen.size(); ++i) {
        const QString shown = answerer->seen()[i].title + '|' + answerer->seen()[i].text;
        const QString expected = seen[i].contains("%1") ? seen[i].arg(dir.path()) : seen[i];
        if (expected.endsWith("\n*")) // a reason follows, worded by the system
            QVERIFY2(shown.startsWith(expected.chopped(1)) && shown.size() > expected.size(), qPrintable(shown));
        else
            QCOMPARE(shown, expected);
    }
    QStringList failedPaths;
    for (const QString &p : paths.mid(0, shownPaths.size()))
        failedPaths << QDir(dir.path()).filePath(p);
    QCOMPARE(shownPaths, failedPaths);
    if (!lostIn.isEmpty() && lostIn != "old.txt")
        QVERIFY(!QFile::exists(dir.filePath(lostIn)));
    if (lostIn == "old.txt") {
        QFile f(dir.filePath("old.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }
    if (savedIn.isEmpty()) {
        QCOMPARE(w->message(), QString());
    } else {
        QFile f(dir.filePath(savedIn));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("%B1^DOE^|1=2|\r\n+|+|+\r\n"));
        QCOMPARE(w->message(), QStringLiteral("\r\n2 records successfully saved to file ") + dir.filePath(savedIn));
    }
    for (int i = 0; i < 6; ++i)
        QCOMPARE(w->trackString(i), QString());
    QVERIFY(QFile::exists(journal));
    QVERIFY(runJournal.isEmpty() || !QFile::exists(runJournal)); // saved or let go, it goes
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qunsetenv("XDG_DATA_HOME");
}

// After setup: what an unfinished save run kept is offered once; saved through the same
// dialogs as after a run, or discarded; the journal goes either way.
void TestMainWindow::offerKeptRecords_data()
{
    QTest::addColumn<QByteArray>("journal"); // "none": no journal
    QTest::addColumn<int>("answer");         // to the offer
    QTest::addColumn<QStringList>("paths");  // what the save dialog gives, in turn; "" cancels
    QTest::addColumn<QStringList>("seen");   // title, "|", text of each window shown
    QTest::addColumn<QByteArray>("saved");   // what new.txt holds at the end; empty: no file
    QTest::addColumn<bool>("closeFirst");    // the main window's close box while the offer is up

    const QByteArray two = "%B1^DOE^|1=2|\r\n+|+|+\r\n";
    const QString offer = QStringLiteral("Save to File|A save run that did not end kept %1 of swiped cards.\n"
                                         "Save them to a file, or discard them?");
    const QString abort = QStringLiteral("File Overwrite Abort|No card swipe(s) saved to \n*");
    const int save = QMessageBox::Save, discard = QMessageBox::Discard;
    QTest::newRow("no journal") << QByteArray("none") << save << QStringList{} << QStringList{} << QByteArray() << false;
    QTest::newRow("empty journal") << QByteArray() << save << QStringList{} << QStringList{} << QByteArray() << false;
    QTest::newRow("two records, Save") << two << save << QStringList{"new.txt"} << QStringList{offer.arg("2 records")}
                                       << two << false;
    QTest::newRow("a last line cut short by the crash") << two + "%B2^RO" << save << QStringList{"new.txt"}
                                                        << QStringList{offer.arg("2 records")} << two << false;
    QTest::newRow("the file chosen for the run proposed")
        << "# save to %2Fchosen%20here.txt\r\n" + two << save << QStringList{"new.txt"} << QStringList{offer.arg("2 records")}
        << two << false;
    QTest::newRow("one record") << QByteArray("+|+|+\r\n") << save << QStringList{"new.txt"}
                                << QStringList{offer.arg("1 record")} << QByteArray("+|+|+\r\n") << false;
    QTest::newRow("Discard") << two << discard << QStringList{} << QStringList{offer.arg("2 records")} << QByteArray() << false;
    QTest::newRow("Save, the dialog cancelled") << two << save << QStringList{""}
                                                << QStringList{offer.arg("2 records")} << QByteArray() << false;
    QTest::newRow("Save into a missing folder, then another") << two << save << QStringList{"missing/a.txt", "new.txt"}
                                                              << QStringList{offer.arg("2 records"), abort} << two << false;
    QTest::newRow("the close box first: the question stays") << two << save << QStringList{"new.txt"}
                                                            << QStringList{offer.arg("2 records")} << two << true;
}

void TestMainWindow::offerKeptRecords()
{
    QFETCH(QByteArray, journal);
    QFETCH(int, answer);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, seen);
    QFETCH(QByteArray, saved);
    QFETCH(bool, closeFirst);

    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    const QString journalPath = QDir(SaveJournal::defaultFolder()).filePath("save-journal-old.txt");
    if (journal != "none") {
        QVERIFY(QDir().mkpath(SaveJournal::defaultFolder()));
        QFile f(journalPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(journal);
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    }
    QStringList proposals;
    QStringList asked;
    if (closeFirst)
        answerer->queueHandler([this, answer](QWidget *box) {
            w->requestClose();
            QVERIFY(box->isVisible() && w->isVisible());
            static_cast<QMessageBox *>(box)->button(QMessageBox::StandardButton(answer))->click();
        });
    else
        answerer->queueButton(QMessageBox::StandardButton(answer));
    answerer->setDialogHandler([](QWidget *dialog) { dialog->findChild<QPushButton *>("Command1")->click(); });
    offerKeptSaveRecords(*w, [&](QWidget *, const FileDialogRequest &r) {
        const QString name = paths.value(asked.size());
        asked << r.title;
        proposals << r.proposedName;
        return name.isEmpty() ? QString() : QDir(dir.path()).filePath(name);
    });

    QCOMPARE(asked.size(), int(paths.size()));
    QCOMPARE(answerer->count(), int(seen.size()));
    for (int i = 0; i < seen.size(); ++i) {
        const QString shown = answerer->seen()[i].title + '|' + answerer->seen()[i].text;
        if (seen[i].endsWith("\n*"))
            QVERIFY2(shown.startsWith(seen[i].chopped(1)) && shown.size() > seen[i].size(), qPrintable(shown));
        else
            QCOMPARE(shown, seen[i]);
    }
    QFile file(dir.filePath("new.txt"));
    QCOMPARE(file.exists(), !saved.isEmpty());
    if (!saved.isEmpty()) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), saved);
        QCOMPARE(w->message(), QStringLiteral("\r\n%1 records successfully saved to file %2")
                                   .arg(saved.count('\n')).arg(dir.filePath("new.txt")));
    }
    if (journal.startsWith("# save to "))
        QCOMPARE(proposals.value(0), QStringLiteral("/chosen here.txt"));
    QVERIFY(!QFile::exists(journalPath));
    qunsetenv("XDG_DATA_HOME");
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
