#include "ui/common/MessageWindow.h"

#include "ui/common/OperatorTexts.h"
#include "ui/common/PictureDialog.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MessageWindow::MessageWindow(const QString &title, const QString &text, QWidget *parent, QStyle::StandardPixmap icon)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, icon);
    Label1 = new QLabel(text, this);
    Label1->setObjectName("Label1");
    Command1 = new QPushButton(tr("OK"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *content = new QVBoxLayout;
    content->addWidget(Label1, 1, Qt::AlignVCenter);
    layoutPictureDialog(this, Picture1, content, {Command1});
}

QString MessageWindow::text() const { return Label1->text(); }

void MessageWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Command1->setFocus();
    QDialog::changeEvent(event);
}

void MessageWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Command1->setFocus();
}

const QString sfrmReadErr::kTitle = OperationText::kReadErrorTitle;
const QString sfrmReadErr::kNonIsoTitle = OperationText::kNonIsoReadErrorTitle;

sfrmReadErr::sfrmReadErr(QWidget *parent, const QString &title)
    : MessageWindow(title, OperationText::kReadErrorText, parent)
{
    setObjectName("sfrmReadErr");
}

const QString sfrmWriteErr::kTitle = OperationText::kWriteErrorTitle;
const QString sfrmWriteErr::kNonIsoTitle = OperationText::kNonIsoWriteErrorTitle;

sfrmWriteErr::sfrmWriteErr(QWidget *parent, const QString &title)
    : MessageWindow(title, OperationText::kWriteErrorText, parent)
{
    setObjectName("sfrmWriteErr");
}

sfrmEraseErr::sfrmEraseErr(QWidget *parent)
    : MessageWindow(OperationText::kEraseErrorTitle, OperationText::kEraseErrorText, parent)
{
    setObjectName("sfrmEraseErr");
}
