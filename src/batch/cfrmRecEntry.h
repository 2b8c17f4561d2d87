#pragma once
// The base record of an incremental series: the data of the two tracks that stay the same,
// and for the chosen track the prefix, starting number, increment, count and suffix. Keys are
// filtered as typed, each field is checked when left, and OK checks every field again and
// refuses a series whose chosen track would outgrow the card before it hands the series over.
#include "operation/IncrementSeries.h"
#include "ui/common/LeaveChecker.h"

#include <QDialog>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class cfrmRecEntry : public QDialog {
    Q_OBJECT
public:
    // `incrementTrack`: 1..3, the track chosen in the track selection.
    explicit cfrmRecEntry(int incrementTrack, QWidget *parent = nullptr);

    // The series as confirmed by OK (meaningful once the window was accepted).
    const Batch::IncrementSeries &series() const { return series_; }

    void Command1_Click(int index); // 0 "Cancel", 1 "OK"
    void reject() override;

    // Field roles within a track's group of five.
    enum Role { Prefix = 0, Start = 1, Increment = 2, Count = 3, Suffix = 4 };

    QLabel *Label1 = nullptr;
    QLabel *Label3[3] = {}; // track headings
    QLabel *LM[3] = {};     // track totals
    QLabel *LIT1[15] = {};  // field captions
    QLineEdit *TIT[15] = {};
    QLabel *LT[15] = {};    // field counts
    QPushButton *Command1[2] = {};
    QLabel *Picture1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Activate();
    void setFieldEnabled(int field, bool enabled);
    void TIT_Change(int field);
    bool TIT_KeyPress(int field, QKeyEvent *event); // true when the key was refused or replaced
    bool TIT_LostFocus(int field);                  // false when the field failed and took the focus
    void focusBack(int field);
    void showInformation(const QString &title, const QString &text);

    int track_;
    Batch::IncrementSeries series_;
    LeaveChecker leave_{this, [this](int field) { return TIT_LostFocus(field); }};
};
