#include "ui/common/MessageWindow.h"

#include "device/SharedState.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MessageWindow::MessageWindow(const QString &title, const QString &text, QWidget *parent, QStyle::StandardPixmap icon)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = new QLabel(this);
    Picture1->setPixmap(style()->standardIcon(icon).pixmap(48, 48));
    Picture1->setFixedSize(48, 48);
    Label1 = new QLabel(text, this);
    Label1->setObjectName("Label1");
    Command1 = new QPushButton(tr("OK"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    Command1->setMinimumWidth(90);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *row = new QHBoxLayout;
    row->addWidget(Picture1, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(Label1, 1, Qt::AlignVCenter);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(row);
    outer->addSpacing(8);
    outer->addLayout(buttons);
    outer->setContentsMargins(18, 18, 18, 14);
    setMinimumWidth(320);
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

sfrmReadErr::sfrmReadErr(QWidget *parent)
    : MessageWindow(MainModule::NonIsoActive ? QStringLiteral("Non-ISO Read Swipe Error") : QStringLiteral("Read Swipe Error"),
                    QStringLiteral("Read error!  Please try again."), parent)
{
    setObjectName("sfrmReadErr");
}

namespace {
QString writeErrorTitle()
{
    if (MainModule::NonIsoActive)
        return QStringLiteral("Non-ISO Write Swipe Error");
    if (!MainModule::WriteErrorTitle.isEmpty())
        return MainModule::WriteErrorTitle;
    return QStringLiteral("Write Swipe Error");
}
} // namespace

sfrmWriteErr::sfrmWriteErr(QWidget *parent)
    : MessageWindow(writeErrorTitle(), QStringLiteral("Write error!  Please try again."), parent)
{
    setObjectName("sfrmWriteErr");
}

sfrmEraseErr::sfrmEraseErr(QWidget *parent)
    : MessageWindow(QStringLiteral("Erase Swipe Error"), QStringLiteral("Erase error!  Please try again."), parent)
{
    setObjectName("sfrmEraseErr");
}
