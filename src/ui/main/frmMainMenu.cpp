#include "ui/main/frmMainMenu.h"

#include "card/Validators.h"
#include "device/PortCatalog.h"
#include "ui/common/PictureDialog.h"
#include "ui/common/SwipeWindow.h"
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
    Label5->setAutoFillBackground(true);
    {
        QPalette p = Label5->palette();
        p.setColor(QPalette::Window, QColor(0xC0, 0xFF, 0xC0));
        p.setColor(QPalette::WindowText, Qt::black);
        Label5->setPalette(p);
    }
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
    for (int i = 0; i < 6; ++i) {
        const bool input = i < 3;
        if (i == 2 || i == 5) {
            auto *edit = new TrackTextEdit(this);
            if (input)
                edit->setMaxLength(InputRecord::MaxLength[i]);
            edit->setReadOnly(!input);
            connect(edit, &QPlainTextEdit::textChanged, this, [this, i] { TIT_Change(i); });
            TIT[i] = edit;
        } else {
            auto *edit = new QLineEdit(this);
            if (input)
                edit->setMaxLength(InputRecord::MaxLength[i]);
            edit->setReadOnly(!input);
            connect(edit, &QLineEdit::textChanged, this, [this, i] { TIT_Change(i); });
            TIT[i] = edit;
        }
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
    Label4->setAutoFillBackground(true);
    {
        QPalette p = Label4->palette();
        p.setColor(QPalette::Window, QColor(0xC8, 0xC8, 0xC8));
        p.setColor(QPalette::WindowText, Qt::black);
        Label4->setPalette(p);
    }

    const char *captions[] = {"Read", "Write", "Copy", "Encode from File", "Save to File",
                              "Incremental Encode", "Non-ISO Read/Write", "Erase"};
    for (int i = 0; i < 8; ++i) {
        Command1[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setAutoDefault(false);
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }

    // Tab order: the input tracks, then the buttons as they read: Read, Write, Copy, Erase,
    // then the second row.
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
    Label2[0]->setToolTip(PortCatalog::describe(connection_.port));
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

namespace {
// Calls `gone` each time a window of the program is hidden.
class WindowGoneWatch : public QObject {
public:
    WindowGoneWatch(QObject *parent, std::function<void()> gone) : QObject(parent), gone_(std::move(gone)) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow())
            gone_();
        return false;
    }

private:
    std::function<void()> gone_;
};
} // namespace

void frmMainMenu::requestClose()
{
    if (!dispatching_) {
        // A question outside any run (the records a save run kept, at the start) is answered by
        // the operator only: closing would answer it with a discard.
        if (!QApplication::activeModalWidget())
            close();
        return;
    }
    if (closeRequested_)
        return;
    closeRequested_ = true;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *swipe = qobject_cast<SwipeWindow *>(w))
            swipe->operation().cancel();
    // One window at a time, top first, each once the one above it has gone: an operation's
    // window under an error window closes only after the operation has left that report.
    qApp->installEventFilter(new WindowGoneWatch(this, [this] {
        QTimer::singleShot(0, this, &frmMainMenu::answerTopWindow);
    }));
    answerTopWindow();
}

void frmMainMenu::answerTopWindow()
{
    QWidget *top = QApplication::activeModalWidget();
    if (!top || top == this)
        return;
    if (auto *swipe = qobject_cast<SwipeWindow *>(top))
        swipe->cancelAndClose();
    else if (auto *dialog = qobject_cast<QDialog *>(top))
        dialog->reject();
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

QByteArray frmMainMenu::trackText(int box) const { return trackString(box).toLatin1(); }

void frmMainMenu::setTrackText(int box, const QByteArray &text)
{
    if (box < 0 || box >= 6)
        return;
    const QString shown = QString::fromLatin1(text);
    if (auto *line = qobject_cast<QLineEdit *>(TIT[box]))
        line->setText(shown);
    else
        static_cast<TrackTextEdit *>(TIT[box])->setText(shown);
    showStart(box);
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

void frmMainMenu::setCount(int box, const QString &count)
{
    if (box >= 0 && box < 6)
        LT[box]->setText(count);
}

QString frmMainMenu::message() const { return Label4->text(); }
void frmMainMenu::setMessage(const QString &text) { Label4->setText(text); }

void frmMainMenu::ClearInputRecord()
{
    for (int i = 0; i < 3; ++i) {
        setTrackText(i, {});
        LT[i]->setText(QStringLiteral("0"));
    }
}

void frmMainMenu::ClearOutputRecord()
{
    for (int i = 3; i < 6; ++i) {
        setTrackText(i, {});
        LT[i]->setText(QStringLiteral("0"));
    }
}

void frmMainMenu::clearRecords()
{
    ClearInputRecord();
    ClearOutputRecord();
}

bool frmMainMenu::inputRecordEmpty() const
{
    return trackString(0).isEmpty() && trackString(1).isEmpty() && trackString(2).isEmpty();
}

void frmMainMenu::TIT_Change(int box)
{
    const QString text = trackString(box);
    LT[box]->setText(QString::number(text.size()));
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
    QString given;
    for (QChar c : typed) {
        if (InputRecord::isControl(c)) {
            given += c;
            continue;
        }
        const QChar k = InputRecord::typedChar(box, c);
        if (!InputRecord::allowedWhileTyping(box, k)) {
            // Refused before it is inserted, so nothing needs taking back.
            const InputRecord::Message m = InputRecord::typingMessage(box);
            showInformation(m.title, m.text);
            focusBack(box);
            return true;
        }
        given += k;
    }
    if (given == typed)
        return false;
    // The box receives the capital letter.
    QKeyEvent replaced(event->type(), event->key(), event->modifiers(), given, event->isAutoRepeat(),
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
    if (closeRequested_)
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
        if (closeRequested_)
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
        clearRecords();
        runWindow(MainWindowStep::CopyCard);
        clearRecords();
        break;
    case 3: // Encode from File
        clearRecords();
        runWindow(MainWindowStep::EncodeFromFile);
        clearRecords();
        break;
    case 4: // Save to File
        clearRecords();
        runWindow(MainWindowStep::SaveToFile);
        clearRecords();
        break;
    case 5: // Incremental Encode
        runIncrementalChain();
        break;
    case 6: { // Non-ISO Read/Write
        clearRecords();
        NonIsoActive = true;
        runWindow(MainWindowStep::NonIsoFormatSelect);
        NonIsoActive = false;
        clearRecords();
        break;
    }
    case 7: { // Erase
        clearRecords();
        const StepAnswer tracks = runWindow(MainWindowStep::EraseTrackSelect);
        if (tracks.eraseMask == 0)
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
    const double dx = logicalDpiX(), dy = logicalDpiY();
    // Captions keep the size their text needs; the design layout sets the rest.
    for (int item = 0; item < ML::ItemCount; ++item) {
        QWidget *w = itemWidget(item);
        geometry_[item] = QRect(QPoint(0, 0), ML::toTwips(w->sizeHint(), dx, dy));
    }
    for (int i = 0; i < 6; ++i)
        geometry_[ML::lt(i)].setWidth(420);
    // Room for the longest port name.
    geometry_[ML::label2(0)].setWidth(std::max(geometry_[ML::label2(0)].width(), 1000));
    geometry_ = ML::designLayout(geometry_);
    reference_ = ML::DesignClient;
    applyGeometry();

    // The mode display and "Emulation" follow "Device Settings:" and keep their places.
    const QRect heading = ML::toPixels(geometry_[ML::label1(0)], dx, dy);
    const QSize mode(ML::toPixels(1080, dx), heading.height() + 4);
    Label5->setGeometry(heading.right() + ML::toPixels(150, dx), heading.top() - 2, mode.width(), mode.height());
    Label1[6]->adjustSize();
    Label1[6]->move(Label5->geometry().right() + ML::toPixels(90, dx), heading.top());

    const QSize design = ML::toPixelsFloor(ML::DesignClient, dx, dy);
    setMinimumSize(design);
    FlagScope scope(applyingSize_);
    resize(design);
}

void frmMainMenu::applyGeometry()
{
    const double dx = logicalDpiX(), dy = logicalDpiY();
    for (int item = 0; item < ML::ItemCount; ++item)
        itemWidget(item)->setGeometry(ML::toPixels(geometry_[item], dx, dy));
}

void frmMainMenu::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!applyingSize_)
        relayoutNow();
}

void frmMainMenu::relayoutNow()
{
    const double dx = logicalDpiX(), dy = logicalDpiY();
    ML::Request request;
    request.geometry = geometry_;
    request.reference = reference_;
    request.client = ML::toTwips(size(), dx, dy);
    const QSize framePixels = frameGeometry().size() - size();
    const QSize frame = framePixels == QSize(0, 0) ? ML::DefaultFrame : ML::toTwips(framePixels, dx, dy);
    request.outer = request.client + frame;
    request.minimized = isMinimized();

    const ML::Result result = ML::relayout(request);
    reference_ = result.reference;
    if (!result.changed)
        return;
    geometry_ = result.geometry;
    applyGeometry();
    if (result.clientToSet) {
        // Pixels never beyond the twips asked for, so the size set back stays within its limit.
        const QSize pixels = ML::toPixelsFloor(*result.clientToSet, dx, dy);
        if (pixels != size()) {
            FlagScope scope(applyingSize_);
            resize(pixels);
        }
        reference_ = ML::toTwips(pixels, dx, dy);
    }
}
