#pragma once
// The main window: device settings, the input and output records, the message box and the
// eight operation buttons. The operation windows write into it through RecordView.
#include "device/Connection.h"
#include "ui/common/RecordView.h"
#include "ui/common/LeaveChecker.h"
#include "ui/main/MainLayout.h"
#include "ui/main/MainWindowLayout.h"
#include "ui/main/MainRecords.h"
#include "ui/main/RunCloser.h"

#include <QWidget>
#include <array>
#include <functional>

class QDialog;
class QKeyEvent;
class QLabel;
class QPushButton;

// Every window (or step of a chain) the buttons open, in the order the buttons use them.
enum class MainWindowStep {
    ReadCard,             // cfrmReadCard
    WriteCard,            // cfrmWriteCard
    CopyCard,             // cfrmCopyCard
    EncodeFromFile,       // open dialog, file check, cfrmEncodeRF and what follows it
    SaveToFile,           // save dialog, cfrmEncodeWF, writing the file and what follows it
    IncrementTrackSelect, // cfrmTrackSelect (confirmed: the chain goes on)
    IncrementRecordEntry, // cfrmRecEntry (confirmed: the chain goes on)
    IncrementWrite,       // cfrmWriteIncr
    IncrementComplete,    // sfrmIncEOK
    NonIsoFormatSelect,   // frmNonISOFmtSel
    EraseTrackSelect,     // frmTrackSelect (answers the tracks chosen)
    EraseCard,            // frmEraseCard
};
inline constexpr int MainWindowStepCount = int(MainWindowStep::EraseCard) + 1;

// What a step's window answered, handed to the next step of its chain.
struct StepAnswer {
    StepAnswer(bool shown = false) : shown(shown) {}
    static StepAnswer confirmedWith(int eraseMask = 0)
    {
        StepAnswer a(true);
        a.confirmed = true;
        a.eraseMask = eraseMask;
        return a;
    }
    bool shown = false;     // a window was shown
    bool confirmed = false; // the operator confirmed it (OK)
    int eraseMask = 0;      // the tracks to erase: bit 0 track 1 .. bit 2 track 3; 0 none
};

class frmMainMenu : public QWidget, public RecordView {
    Q_OBJECT
public:
    explicit frmMainMenu(const Connection &connection, QWidget *parent = nullptr);
    // What setup chose; every operation window talks to the encoder through it.
    const Connection &connection() const { return connection_; }
    ~frmMainMenu() override;

    // Opens the window of one step modal to this one and returns once it has closed, with what
    // it answered; `previous` is the answer of the chain's step before (the tracks to erase).
    // A step without a runner opens nothing.
    using WindowRunner = std::function<StepAnswer(const StepAnswer &previous)>;
    void setWindowRunner(MainWindowStep step, WindowRunner runner);
    // Shows `dialog` modal to this window and waits for it to close.
    int execModal(QDialog &dialog);

    // The records this window shows; the write chain writes its input record.
    const MainRecords &records() const { return records_; }
    // RecordView: boxes 0..2 input tracks 1..3, boxes 3..5 output tracks 1..3.
    QByteArray trackText(int box) const override;
    // Latin-1; updates the count like any edit (input boxes keep at most their longest text).
    void setTrackText(int box, const QByteArray &text) override;
    void setCount(int box, const QString &count) override;
    QString message() const override;
    void setMessage(const QString &text) override;
    // Headings, track names, boxes and counts of each record, on screen.
    QRect inputRecordArea() const override;
    QRect outputRecordArea() const override;
    QString trackString(int box) const;

    void ClearInputRecord();
    void ClearOutputRecord();

    bool NonIsoActive = false; // a non-ISO operation runs

    // A button press: the dispatch of every operation.
    void Command1_Click(int index);
    // Each activation, and after every operation window has closed.
    void Form_Activate();

    // Controls, named and indexed as the window has always had them.
    QLabel *Label1[7] = {};   // "Device Settings:", setting names 1..5, "Emulation"
    QLabel *Label2[5] = {};   // setting values
    QLabel *Label3[3] = {};   // headings
    QLabel *Label4 = nullptr; // message box
    QLabel *Label5 = nullptr; // emulation mode
    QLabel *LIT1[6] = {};     // track names (5, 4, 3 are the output tracks 1, 2, 3)
    QWidget *TIT[6] = {};     // track boxes: QLineEdit, or TrackTextEdit for track 3
    QLabel *LT[6] = {};       // character counts
    QPushButton *Command1[8] = {};

    // The layout state, in twips.
    const MainLayout::Geometry &layoutGeometry() const { return layout_.geometry(); }
    QSize referenceSize() const { return layout_.reference(); }

    // The close box. During an operation the windows over this one are answered as their
    // Cancel would (an operation's window closes with its closing sequence on the wire), and
    // the program ends once the button's run is over; no later step of it opens.
    void requestClose();
    bool closeRequested() const { return closer_.started(); }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void TIT_Change(int box);
    void showTrack(int box);
    // The typing filter; true when the key was refused or replaced.
    bool TIT_KeyPress(int box, QKeyEvent *event);
    // The check on leaving; false when the box was not valid and took the focus back.
    bool TIT_LostFocus(int box);
    void focusBack(int box);
    // Scrolls a box back to the start of its text (long tracks read from their beginning).
    void showStart(int box);
    QRect recordArea(int heading, int firstBox) const;
    void showInformation(const QString &title, const QString &text);

    StepAnswer runWindow(MainWindowStep step, const StepAnswer &previous = {});
    void runIncrementalChain();
    bool inputRecordEmpty() const;
    void clearRecords();

    void initLayout();
    QWidget *itemWidget(int item) const;

    Connection connection_;
    MainRecords records_;
    std::array<WindowRunner, MainWindowStepCount> runners_;
    MainWindowLayout layout_{*this, [this](int item) { return itemWidget(item); }};
    // The main window checks even while hidden and leaves the activation to the system.
    LeaveChecker leave_{this, [this](int box) { return TIT_LostFocus(box); },
                        LeaveChecker::Options{false, false}};
    bool passThrough_ = false;  // a key we re-sent in capitals
    bool dispatching_ = false;
    RunCloser closer_{*this};
};
