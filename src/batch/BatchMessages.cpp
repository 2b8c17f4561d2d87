#include "batch/BatchMessages.h"

#include "ui/common/PictureDialog.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

sfrmFormatError::sfrmFormatError(const Refusal &refusal, QWidget *parent)
    : MessageWindow(refusal.title, refusal.text, parent)
{
    setObjectName("sfrmFormatError");
    Label1->setTextFormat(Qt::PlainText);
}

sfrmRFOK::sfrmRFOK(QWidget *parent)
    : MessageWindow(QStringLiteral("File Encode Complete (EOF)"), QStringLiteral("End of file reached.  Press OK to exit."),
                    parent, QStyle::SP_MessageBoxInformation)
{
    setObjectName("sfrmRFOK");
}

sfrmSaveError::sfrmSaveError(const QString &path, const QString &problem, QWidget *parent) : QDialog(parent)
{
    setObjectName("sfrmSaveError");
    setWindowTitle(QStringLiteral("File Overwrite Abort"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, QStyle::SP_MessageBoxWarning);
    Label1 = new QLabel(QStringLiteral("No card swipe(s) saved to "), this);
    Label1->setObjectName("Label1");
    LC = new QLineEdit(path, this);
    LC->setObjectName("LC");
    LC->setReadOnly(true);
    LC->setFocusPolicy(Qt::ClickFocus);
    LC->setCursorPosition(0);
    LC->setMinimumWidth(300);
    Label2 = new QLabel(problem, this);
    Label2->setObjectName("Label2");
    Label2->setTextFormat(Qt::PlainText);
    Label2->setWordWrap(true);
    Label2->setVisible(!problem.isEmpty());
    Command1 = new QPushButton(tr("OK"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *content = new QVBoxLayout;
    content->addWidget(Label1);
    content->addWidget(LC);
    content->addWidget(Label2);
    layoutPictureDialog(this, Picture1, content, {Command1});
}

void sfrmSaveError::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Command1->setFocus();
}

void sfrmSaveError::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Command1->setFocus();
    QDialog::changeEvent(event);
}

SaveJournal::ProblemReport journalProblemBox(QWidget *over)
{
    return [over](int card, const QString &problem) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Save to File"),
                        QStringLiteral("The run could not save card %1 in its journal (%2).\n"
                                       "The run goes on without the journal: its records are saved to the file "
                                       "when it ends, but a crash before then would lose them.")
                            .arg(card)
                            .arg(problem),
                        QMessageBox::Ok, over);
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::WindowModal);
        box.exec();
    };
}
