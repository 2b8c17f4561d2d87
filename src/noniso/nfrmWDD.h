#pragma once
// The write density of each track. "OK" opens the entry window in this window's place: this
// window hides while the entry window is up and closes when it returns.
#include "card/NonIsoFormat.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

class nfrmWDD : public QDialog {
    Q_OBJECT
public:
    using SwipeWriteRunner = std::function<void(const NonIso::WriteJob &, QWidget *over)>;
    nfrmWDD(const NonIso::Selection &selection, SwipeWriteRunner swipeWrite, QWidget *parent = nullptr);

    // WriteDensity: the density item of each track, as the lists show it now.
    const NonIso::Densities &WriteDensity() const { return densities_; }

    void Combo1_Click();
    void Command2_Click(); // OK
    void Command3_Click(); // Cancel

    QLabel *Label1 = nullptr;        // "Please select a write density for each track."
    QLabel *LIT1[3] = {};            // "T1:", "T2:", "T3:"
    QComboBox *Combo1[3] = {};
    QPushButton *Command2 = nullptr; // "OK"
    QPushButton *Command3 = nullptr; // "Cancel"
    QLabel *Picture1 = nullptr;

private:
    NonIso::Selection selection_;
    SwipeWriteRunner swipeWrite_;
    NonIso::Densities densities_ = NonIso::DefaultDensities;
};
