#include "ui/setup/sfrmErrComm1.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

sfrmErrComm1::sfrmErrComm1(const QString &reason, QWidget *parent) : QDialog(parent)
{
    setObjectName("sfrmErrComm1");
    setWindowTitle(QStringLiteral("Communications Error"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = new QLabel(this);
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(48, 48));
    Picture1->setFixedSize(48, 48);

    static const char *const texts[4] = {
        "     Is encoder connected to PC?",
        "     Is COM port selection correct?",
        "     Is encoder powered up?",
        "     Is emulation mode selection        correct?",
    };
    auto *list = new QGridLayout;
    list->setHorizontalSpacing(0);
    for (int i = 0; i < 4; ++i) {
        // Shape1: a bullet before each question.
        auto *bullet = new QLabel(QStringLiteral("\u25CF"), this);
        bullet->setObjectName(QStringLiteral("Shape1_%1").arg(i));
        Label1[i] = new QLabel(QString::fromLatin1(texts[i]), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setWordWrap(i == 3);
        Label1[i]->setMaximumWidth(290);
        list->addWidget(bullet, i, 0, Qt::AlignTop);
        list->addWidget(Label1[i], i, 1);
    }

    Reason = new QLabel(reason, this);
    Reason->setObjectName("Reason");
    Reason->setWordWrap(true);
    Reason->setVisible(!reason.isEmpty());
    Reason->setStyleSheet(QStringLiteral("color: #a00000;"));

    Command1 = new QPushButton(tr("OK"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    Command1->setMinimumWidth(90);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *top = new QHBoxLayout;
    top->addWidget(Picture1, 0, Qt::AlignTop);
    top->addSpacing(10);
    top->addLayout(list, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(Reason);
    outer->addSpacing(6);
    outer->addLayout(buttons);
    outer->setContentsMargins(18, 18, 18, 14);
}

void sfrmErrComm1::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Command1->setFocus();
    QDialog::changeEvent(event);
}

void sfrmErrComm1::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Command1->setFocus();
}
