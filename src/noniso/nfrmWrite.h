#pragma once
// Entry of the data of up to three tracks in the chosen non-ISO format: text in a standard
// format, hex pairs of raw values in the custom format. Keys are filtered as they are typed,
// each box is checked when it is left, and "OK" checks all three again and hands the data to
// the swipe write.
#include "card/NonIsoEntry.h"
#include "card/NonIsoFormat.h"
#include "ui/common/LeaveChecker.h"

#include <QDialog>
#include <functional>

class EntryBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

class nfrmWrite : public QDialog {
    Q_OBJECT
public:
    using SwipeWriteRunner = std::function<void(const NonIso::WriteJob &, QWidget *over)>;
    nfrmWrite(const NonIso::Selection &selection, const NonIso::Densities &densities,
              SwipeWriteRunner swipeWrite, QWidget *parent = nullptr);

    // Per track (1..3) the raw values from the box's last check (custom format).
    QByteArray NonIsoWriteData(int track) const;
    // Longest entry of a track: characters (standard) or values (custom).
    int maxCharacters(int track) const;

    void Command1_Click(int index); // 0 "OK", 1 "Cancel"
    void reject() override;

    QLabel *Label1[4] = {};          // track captions; 3: the note on the first character
    EntryBox *TIT[3] = {};
    QLabel *LT[3] = {};
    QFrame *Shape1[4] = {};
    QPushButton *Command1[2] = {};

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void TIT_Change(int box);
    bool TIT_KeyPress(int box, QKeyEvent *event); // true when the key was taken or refused
    void TIT_KeyDown(int box, int key);
    void TIT_Click(int box);
    bool TIT_LostFocus(int box);                  // false when the box failed and took the focus
    void focusBack(int box);
    void showInformation(const NonIso::EntryCheck &failed);
    void setBoxText(int box, const QString &text);
    QString boxText(int box) const;

    NonIso::Selection selection_;
    NonIso::Densities densities_;
    SwipeWriteRunner swipeWrite_;
    int maxChars_[3] = {};
    int pairDigits_[3] = {};        // PairDigitCount: hex digits typed since the last blank
    QByteArray data_[3];            // NonIsoWriteData
    LeaveChecker leave_{this, [this](int box) { return TIT_LostFocus(box); }};
    bool passThrough_ = false;
    bool replacing_ = false;        // our own change of a box's text
};
