#pragma once
// The small windows of the two file buttons.
#include "batch/SaveJournal.h"
#include "operation/Job.h"
#include "ui/common/MessageWindow.h"

class QLineEdit;

// "File Encode - File Format Error": the encode job's check refused the file before the first
// card; its text names the record and why.
class sfrmFormatError : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmFormatError(const Refusal &refusal, QWidget *parent = nullptr);
};

// "File Encode Complete (EOF)": the run wrote every record of its file.
class sfrmRFOK : public MessageWindow {
    Q_OBJECT
public:
    explicit sfrmRFOK(QWidget *parent = nullptr);
};

// "File Overwrite Abort": the collected records were not written to `path`; `problem`, when
// given, says why.
class sfrmSaveError : public QDialog {
    Q_OBJECT
public:
    sfrmSaveError(const QString &path, const QString &problem, QWidget *parent = nullptr);

    QLabel *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *LC = nullptr;  // the path
    QLabel *Label2 = nullptr; // the reason; hidden when there is none
    QPushButton *Command1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
};

// Tells, in a message box over `over`, that the save run's journal cannot be written and that
// the run goes on (a save run reports it once).
SaveJournal::ProblemReport journalProblemBox(QWidget *over);
