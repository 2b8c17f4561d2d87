#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// "Communications Error": the four questions to check, and why the port failed when known.
class sfrmErrComm1 : public QDialog {
    Q_OBJECT
public:
    explicit sfrmErrComm1(const QString &reason = QString(), QWidget *parent = nullptr);

    QLabel *Picture1 = nullptr;
    QLabel *Label1[4] = {};
    QLabel *Reason = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
};
