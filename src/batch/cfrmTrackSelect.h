#pragma once
// Which track carries the running number of an incremental series.
#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class cfrmTrackSelect : public QDialog {
    Q_OBJECT
public:
    explicit cfrmTrackSelect(QWidget *parent = nullptr);

    // 1..3, the option chosen at OK.
    int IncrementTrack() const { return track_; }

    void Command1_Click(int index); // 0 "Cancel", 1 "OK"

    QLabel *Label1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1[3] = {};
    QPushButton *Command1[2] = {};
    QLabel *Picture1 = nullptr;

private:
    int track_ = 1;
};
