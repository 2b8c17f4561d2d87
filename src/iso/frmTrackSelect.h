#pragma once
// Which tracks to erase. "OK" makes the mask of the ticked tracks; "Cancel" leaves it 0.
#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class frmTrackSelect : public QDialog {
    Q_OBJECT
public:
    explicit frmTrackSelect(QWidget *parent = nullptr);

    void Command1_Click();
    // Bit 0 track 1, bit 1 track 2, bit 2 track 3.
    int EraseTrackMask() const { return mask_; }

    QLabel *Label1 = nullptr;
    QCheckBox *Check1[3] = {};      // "Track 1" .. "Track 3"
    QPushButton *Command1 = nullptr;  // "OK"
    QPushButton *Command2 = nullptr;  // "Cancel"
    QLabel *Picture1 = nullptr;

private:
    int mask_ = 0;
};
