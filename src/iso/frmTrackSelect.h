#pragma once
// Which tracks to erase. "OK" ORs the ticked tracks into EraseTrackMask; "Cancel" leaves it alone.
#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class frmTrackSelect : public QDialog {
    Q_OBJECT
public:
    explicit frmTrackSelect(QWidget *parent = nullptr);

    void Command1_Click();

    QLabel *Label1 = nullptr;
    QCheckBox *Check1[3] = {};      // "Track 1" .. "Track 3"
    QPushButton *Command1 = nullptr;  // "OK"
    QPushButton *Command2 = nullptr;  // "Cancel"
    QLabel *Picture1 = nullptr;
};
