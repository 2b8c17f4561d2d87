#pragma once
// One card of a non-ISO read: each track's data (text, or hex pairs of raw values) and count.
#include "card/TrackBlock.h"
#include "card/NonIsoFormat.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class nfrmReadStdFmt : public QDialog {
    Q_OBJECT
public:
    nfrmReadStdFmt(const NonIso::Selection &selection, const Iso::Tracks &trackData, QWidget *parent = nullptr);

    void SetTrackCaptions();

    QLabel *Label1[3] = {};
    QPlainTextEdit *TIT[3] = {};
    QLabel *LT[3] = {};
    QFrame *Shape1[3] = {};
    QPushButton *Command1 = nullptr; // "OK"

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fill();

    NonIso::Selection selection_;
    Iso::Tracks trackData_;
};
