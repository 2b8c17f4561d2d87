#include "ui/main/frmMainMenu.h"

#include "card/Validators.h"
#include "ui/common/PictureDialog.h"
#include "card/InputRecord.h"
#include "operation/JobChecks.h"
#include "ui/main/TrackTextEdit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

using namespace MainModule;
namespace ML = MainLayout;

namespace {
// Black on `window`, whatever the style.
void setColours(QLabel *label, const QColor &window)
{
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
}
} // namespace

frmMainMenu::frmMainMenu(const Connection &connection, QWidget *parent) : QWidget(parent), connection_(connection)
{
    setObjectName("frmMainMenu");
    // The fixed layout was drawn for an 8-point font; larger ones would run captions together.
    QFont designFont = font();
    if (designFont.pointSizeF() > 8.0) {
        designFont.setPointSizeF(8.0);
        setFont(designFont);
    }

    Label1[0] = makeLabel(QStringLiteral("Device Settings:"), this, "Label1_0");
    const char *settingNames[] = {"Port:", "Baud:", "Parity:", "Data Bits:", "Coercivity:"};
    for (int i = 1; i <= 5; ++i)
        Label1[i] = makeLabel(QString::fromLatin1(settingNames[i - 1]), this, QStringLiteral("Label1_%1").arg(i));
    Label1[6] = makeLabel(QStringLiteral("Emulation"), this, "Label1_6");
    for (int i = 0; i < 5; ++i)
        Label2[i] = makeLabel(QString(), this, QStringLiteral("Label2_%1").arg(i));

    Label5 = makeLabel(QString(), this, "Label5");
    Label5->setAlignment(Qt::AlignCenter);
    setColours(Label5, QColor(0xC0, 0xFF, 0xC0));
    Label5->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    const char *headings[] = {
        "  Input Record (Keyed Entry, Card Swipe Entry, or File Retrieval):",
        "  Output Record (Card Swipe Readout):",
        "  Message Box:",
    };
    for (int i = 0; i < 3; ++i) {
        Label3[i] = makeLabel(QString::fromLatin1(headings[i]), this, QStringLiteral("Label3_%1").arg(i));
        QFont bold = Label3[i]->font();
        bold.setBold(true);
        Label3[i]->setFont(bold);
    }

    const char *trackNames[] = {"T1:", "T2:", "T3:", "T3:", "T2:", "T1:"};
    for (int i = 0; i < 6; ++i)
        LIT1[i] = makeLabel(QString::fromLatin1(trackNames[i]), this, QStringLiteral("LIT1_%1").arg(i));

    // Boxes 0..2 take typed data; 3..5 show the last card read. Track 3 is two lines high.
    const auto trackBox = [this](auto *edit, int i, auto changed) -> QWidget * {
        if (i < 3)
            edit->setMaxLength(InputRecord::MaxLength[i]);
        edit->setReadOnly(i >= 3);
        connect(edit, changed, this, [this, i] { TIT_Change(i); });
        return edit;
    };
    for (int i = 0; i < 6; ++i) {
        const bool input = i < 3;
        TIT[i] = i == 2 || i == 5 ? trackBox(new TrackTextEdit(this), i, &QPlainTextEdit::textChanged)
                                  : trackBox(new QLineEdit(this), i, &QLineEdit::textChanged);
        TIT[i]->setObjectName(QStringLiteral("TIT_%1").arg(i));
        TIT[i]->installEventFilter(this);
        if (!input)
            TIT[i]->setFocusPolicy(Qt::ClickFocus); // selectable, but not in the Tab order
        LT[i] = makeLabel(QStringLiteral("0"), this, QStringLiteral("LT_%1").arg(i));
    }

    Label4 = makeLabel(QString(), this, "Label4");
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label4->setWordWrap(true);
    Label4->setMargin(2);
    Label4->setFrameStyle(QFrame::Box | QFrame::Plain);
    setColours(Label4, QColor(0xC8, 0xC8, 0xC8));

    const char *captions[] = {"Read", "Write", "Copy", "Encode from File", "Save to File",
                              "Incremental Encode", "Non-ISO Read/Write", "Erase"};
    for (int i = 0; i < 8; ++i) {
        Command1[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setAutoDefault(false);
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }

    // Tab order: the input tracks, then the buttons as they read (Read, Write, Copy, Erase).
    const int buttonOrder[] = {0, 1, 2, 7, 3, 4, 5, 6};
    QWidget *previous = TIT[0];
    for (QWidget *next : {TIT[1], TIT[2]}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (int i : buttonOrder) {
        setTabOrder(previous, Command1[i]);
        previous = Command1[i];
    }

    connect(&records_, &MainRecords::trackChanged, this, &frmMainMenu::showTrack);
    connect(&records_, &MainRecords::countChanged, this, [this](int box) { LT[box]->setText(records_.count(box)); });
    connect(&records_, &MainRecords::messageChanged, this, [this] { Label4->setText(records_.message()); });

    Form_Load();
    initLayout();
    Form_Activate();
    TIT[0]->setFocus();
}

frmMainMenu::~frmMainMenu() = default;

// ---- Load and activation --------------------------------------------------------------------

void frmMainMenu::Form_Load()
{
    Label2[0]->setText(QStringLiteral("COM ") + QString::number(connection_.port));
    // The caption stays as it always was; which device that is shows on hovering.
    Label2[0]->setToolTip(connection_.ports.describe(connection_.port));
    Label2[1]->setText(connection_.baud);
    Label2[2]->setText(connection_.parity);
    Label2[3]->setText(connection_.dataBits);
    Label2[4]->setText(connection_.highCoercivity ? QStringLiteral("High") : QStringLiteral("Low"));
    setWindowTitle(QStringLiteral("KAVRO VNT-410 Series Utility: Main Menu"));
}

void frmMainMenu::Form_Activate()
{
    if (inputRecordEmpty())
        Command1[1]->setEnabled(false);
    Label5->setText(dialectName(connection_.dialect));
}

bool frmMainMenu::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(event);
}

void frmMainMenu::closeEvent(QCloseEvent *event)
{
    if (dispatching_) {
        event->ignore();
        requestClose();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void frmMainMenu::requestClose()
{
    if (!dispatching_) {
        // A question outside any run (the records a save run kept, at the start) is answered by
        // the operator only: closing would answer it with a discard.
        if (!QApplication::activeModalWidget())
            close();
        return;
    }
    closer_.start();
}

// ---- Records --------------------------------------------------------------------------------

QString frmMainMenu::trackString(int box) const
{
    if (box < 0 || box >= 6)
        return {};
    if (auto *line = qobject_cast<QLineEdit *>(TIT[box]))
        return line->text();
    return static_cast<TrackTextEdit *>(TIT[box])->text();
}

QByteArray frmMainMenu::trackText(int box) const { return records_.track(box); }

void frmMainMenu::setTrackText(int box, const QByteArray &text)
{
    if (box < 0 || box >= 6)
        return;
    records_.setTrack(box, text);
    showStart(box);
}

// The records as they change: what the boxes, counts and message box show.
void frmMainMenu::showTrack(int box)
{
    // Typed text the record cannot hold stays in sight until the leave-check refuses it.
    if (trackString(box).toLatin1() == records_.track(box))
        return;
    const QString shown = QString::fromLatin1(records_.track(box));
    if (auto *line = qobject_cast<QLineEdit *>(TIT[box]))
        line->setText(shown);
    else
        static_cast<TrackTextEdit *>(TIT[box])->setText(shown);
}

void frmMainMenu::showStart(int box)
{
    if (auto *line = qobject_cast<QLineEdit *>(TIT[box]))
        line->setCursorPosition(0);
    else
        static_cast<TrackTextEdit *>(TIT[box])->moveCursor(QTextCursor::Start);
}

QRect frmMainMenu::recordArea(int heading, int firstBox) const
{
    if (!isVisible())
        return {};
    QRect area = Label3[heading]->geometry();
    for (int i = firstBox; i < firstBox + 3; ++i)
        area = area.united(TIT[i]->geometry()).united(LT[i]->geometry()).united(LIT1[i]->geometry());
    return area.translated(mapToGlobal(QPoint(0, 0)));
}

QRect frmMainMenu::inputRecordArea() const { return recordArea(0, 0); }
QRect frmMainMenu::outputRecordArea() const { return recordArea(1, 3); }

void frmMainMenu::setCount(int box, const QString &count) { records_.setCount(box, count); }
QString frmMainMenu::message() const { return records_.message(); }
void frmMainMenu::setMessage(const QString &text) { records_.setMessage(text); }

void frmMainMenu::ClearInputRecord()
{
    records_.clearInput();
    for (int i = 0; i < 3; ++i)
        showStart(i);
}

void frmMainMenu::ClearOutputRecord()
{
    records_.clearOutput();
    for (int i = 3; i < 6; ++i)
        showStart(i);
}

void frmMainMenu::clearRecords()
{
    ClearInputRecord();
    ClearOutputRecord();
}

bool frmMainMenu::inputRecordEmpty() const { return records_.inputEmpty(); }

void frmMainMenu::TIT_Change(int box)
{
    const QString text = trackString(box);
    records_.setTrack(box, text.toLatin1());
    records_.setCount(box, QString::number(text.size()));
    // The whole text on hovering, never taken for markup (track 1 may hold "<").
    TIT[box]->setToolTip(text.isEmpty() ? QString()
                                        : QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped()));
    if (box < 3)
        Command1[1]->setEnabled(!inputRecordEmpty());
}

// ---- Typing filter and leave-check ----------------------------------------------------------

bool frmMainMenu::eventFilter(QObject *watched, QEvent *event)
{
    int box = -1;
    for (int i = 0; i < 6; ++i)
        if (watched == TIT[i])
            box = i;
    if (box < 0)
        return QWidget::eventFilter(watched, event);
    if (box >= 3) {
        // An output box clicked into and left reads from its start again.
        if (event->type() == QEvent::FocusOut
            && static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason
            && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            showStart(box);
        return QWidget::eventFilter(watched, event);
    }

    if (event->type() == QEvent::KeyPress && !passThrough_)
        return TIT_KeyPress(box, static_cast<QKeyEvent *>(event));

    // A click that follows runs a check still due first (Command1_Click).
    if (event->type() == QEvent::FocusOut && leave_.focusOut(box, static_cast<QFocusEvent *>(event)))
        showStart(box);
    return QWidget::eventFilter(watched, event);
}

bool frmMainMenu::TIT_KeyPress(int box, QKeyEvent *event)
{
    const QString typed = event->text();
    if (typed.isEmpty())
        return false;
    if (isCommandKey(event))
        return false;
    const std::optional<QString> given = InputRecord::typedText(box, typed);
    if (!given) {
        // Refused before it is inserted, so nothing needs taking back.
        const InputRecord::Message m = InputRecord::typingMessage(box);
        showInformation(m.title, m.text);
        focusBack(box);
        return true;
    }
    if (*given == typed)
        return false;
    // The box receives the capital letter.
    QKeyEvent replaced(event->type(), event->key(), event->modifiers(), *given, event->isAutoRepeat(),
                       ushort(event->count()));
    FlagScope scope(passThrough_);
    QCoreApplication::sendEvent(TIT[box], &replaced);
    return true;
}

bool frmMainMenu::TIT_LostFocus(int box)
{
    QString text = trackString(box);
    if (text.isEmpty())
        return true;
    if (box == 0 && text != InputRecord::upperCased(text)) {
        text = InputRecord::upperCased(text);
        setTrackText(0, text.toLatin1());
        text = trackString(0);
    }
    if (InputRecord::passesLeaveCheck(box, text))
        return true;
    const InputRecord::Message m = InputRecord::leaveMessage(box);
    showInformation(m.title, m.text);
    focusBack(box);
    return false;
}

void frmMainMenu::focusBack(int box)
{
    leave_.focusBack(TIT[box]);
}

void frmMainMenu::showInformation(const QString &title, const QString &text)
{
    leave_.showInformation(title, text);
}

// ---- Dispatch -------------------------------------------------------------------------------

void frmMainMenu::setWindowRunner(MainWindowStep step, WindowRunner runner)
{
    runners_[size_t(step)] = std::move(runner);
}

int frmMainMenu::execModal(QDialog &dialog)
{
    if (!dialog.parentWidget())
        dialog.setParent(this, dialog.windowFlags() | Qt::Dialog);
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

StepAnswer frmMainMenu::runWindow(MainWindowStep step, const StepAnswer &previous)
{
    if (closer_.started())
        return {};
    const WindowRunner &runner = runners_[size_t(step)];
    const StepAnswer answer = runner ? runner(previous) : StepAnswer{};
    Form_Activate();
    return answer;
}

void frmMainMenu::Command1_Click(int index)
{
    // A box being left with invalid text keeps the focus; the press does nothing.
    if (!leave_.runPending())
        return;
    if (dispatching_ || index < 0 || index > 7)
        return;
    // The close box pressed during the run ends the program once the run is over.
    const auto closeAfter = qScopeGuard([this] {
        if (closer_.started())
            QTimer::singleShot(0, this, &QWidget::close);
    });
    FlagScope busy(dispatching_);

    if (index != 1)
        ClearInputRecord();
    setMessage(QString());

    switch (index) {
    case 0: // Read
        ClearOutputRecord();
        runWindow(MainWindowStep::ReadCard);
        clearRecords();
        break;
    case 1: { // Write
        const Jobs::Checked write = Jobs::write({trackString(0), trackString(1), trackString(2)});
        if (!write.ok()) {
            QApplication::beep();
            setMessage(QStringLiteral("\n") + write.refusal->text);
            return;
        }
        ClearOutputRecord();
        runWindow(MainWindowStep::WriteCard);
        clearRecords();
        break;
    }
    case 2: // Copy
    case 3: // Encode from File
    case 4: // Save to File
        clearRecords();
        runWindow(index == 2 ? MainWindowStep::CopyCard
                  : index == 3 ? MainWindowStep::EncodeFromFile
                               : MainWindowStep::SaveToFile);
        clearRecords();
        break;
    case 5: // Incremental Encode
        runIncrementalChain();
        break;
    case 6: // Non-ISO Read/Write
        clearRecords();
        NonIsoActive = true;
        runWindow(MainWindowStep::NonIsoFormatSelect);
        NonIsoActive = false;
        clearRecords();
        break;
    case 7: { // Erase
        clearRecords();
        const StepAnswer tracks = runWindow(MainWindowStep::EraseTrackSelect);
        if (!Jobs::erase(tracks.eraseMask).ok())
            return;
        runWindow(MainWindowStep::EraseCard, tracks);
        clearRecords();
        break;
    }
    }
}

// Each step goes on only when the one before was confirmed; a cancelled step leaves the
// records as they are.
void frmMainMenu::runIncrementalChain()
{
    if (!runWindow(MainWindowStep::IncrementTrackSelect).confirmed)
        return;
    if (!runWindow(MainWindowStep::IncrementRecordEntry).confirmed)
        return;
    runWindow(MainWindowStep::IncrementWrite);
    runWindow(MainWindowStep::IncrementComplete);
    clearRecords();
}

// ---- Layout ---------------------------------------------------------------------------------

QWidget *frmMainMenu::itemWidget(int item) const
{
    if (item < ML::Label2_0)
        return Label1[item - ML::Label1_0];
    if (item < ML::Label3_0)
        return Label2[item - ML::Label2_0];
    if (item < ML::LIT1_0)
        return Label3[item - ML::Label3_0];
    if (item < ML::TIT_0)
        return LIT1[item - ML::LIT1_0];
    if (item < ML::LT_0)
        return TIT[item - ML::TIT_0];
    if (item < ML::Label4)
        return LT[item - ML::LT_0];
    if (item == ML::Label4)
        return Label4;
    return Command1[item - ML::Command1_0];
}

void frmMainMenu::initLayout()
{
    layout_.init();
    // The mode display and "Emulation" follow "Device Settings:" and keep their places.
    const double dx = logicalDpiX();
    const QRect heading = Label1[0]->geometry();
    const QSize mode(MainLayout::toPixels(1080, dx), heading.height() + 4);
    Label5->setGeometry(heading.right() + MainLayout::toPixels(150, dx), heading.top() - 2, mode.width(), mode.height());
    Label1[6]->adjustSize();
    Label1[6]->move(Label5->geometry().right() + MainLayout::toPixels(90, dx), heading.top());
}

void frmMainMenu::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layout_.resized();
}
