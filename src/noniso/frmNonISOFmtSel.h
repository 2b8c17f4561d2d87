#pragma once
// The entry point of the non-ISO operations: one data format for all three tracks and one item
// per track. "Read" and "Write" publish the choice and run the read or the write chain over this
// window, which stays open underneath until "Cancel".
#include "card/NonIsoFormat.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

class frmNonISOFmtSel : public QDialog {
    Q_OBJECT
public:
    // `customFormatAvailable`: whether the encoder's dialect knows raw characters (VNT-290B).
    explicit frmNonISOFmtSel(bool customFormatAvailable, QWidget *parent = nullptr);

    // What "Read" or "Write" last published (the defaults before either was pressed).
    const NonIso::Selection &published() const { return published_; }

    // Runs a chain over `over` with the published selection and returns when it has closed.
    using Runner = std::function<void(const NonIso::Selection &, QWidget *over)>;
    // "Read": the non-ISO read. Without a runner "Read" only publishes.
    void setReadRunner(Runner runner) { readRunner_ = std::move(runner); }
    // "Write": by default the density window, then the entry window.
    void setWriteRunner(Runner runner) { writeRunner_ = std::move(runner); }
    // The swipe write that the entry window's "OK" opens (passed down the default write chain).
    using SwipeWriteRunner = std::function<void(const NonIso::WriteJob &, QWidget *over)>;
    void setSwipeWriteRunner(SwipeWriteRunner runner) { swipeWriteRunner_ = std::move(runner); }

    void Option1_Click(int index);
    void Command1_Click(); // Read
    void Command2_Click(); // Write
    void Command3_Click(); // Cancel

    QLabel *Label1[3] = {};          // prompt, "Non-Standard Track", "(5, 6, or 7 Bits per Character)"
    QRadioButton *Option1[2] = {};   // standard, custom
    QLabel *LIT1[6] = {};            // 0..2 beside Combo1; 5, 4, 3 beside Combo2 (tracks 1, 2, 3)
    QComboBox *Combo1[3] = {};       // standard items per track
    QComboBox *Combo2[3] = {};       // custom items per track
    QPushButton *Command1 = nullptr; // "Read"
    QPushButton *Command2 = nullptr; // "Write"
    QPushButton *Command3 = nullptr; // "Cancel"
    QLabel *Picture1 = nullptr;

private:
    void Form_Load();
    void publish();
    void runWriteEntry(const NonIso::Selection &selection);

    bool customAvailable_;
    NonIso::Selection published_;
    QButtonGroup *options_ = nullptr;
    Runner readRunner_;
    Runner writeRunner_;
    SwipeWriteRunner swipeWriteRunner_;
};
