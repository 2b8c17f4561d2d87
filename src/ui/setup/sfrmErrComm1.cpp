#include "ui/setup/sfrmErrComm1.h"

#include "dialect/CommErrorText.h"
#include "ui/common/PictureDialog.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

sfrmErrComm1::sfrmErrComm1(const QString &reason, QWidget *parent) : QDialog(parent)
{
    setObjectName("sfrmErrComm1");
    setWindowTitle(CommErrorText::kTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, QStyle::SP_MessageBoxCritical);

    auto *list = new QGridLayout;
    list->setHorizontalSpacing(0);
    for (int i = 0; i < 4; ++i) {
        // Shape1: a bullet before each question.
        auto *bullet = new QLabel(QStringLiteral("\u25CF"), this);
        bullet->setObjectName(QStringLiteral("Shape1_%1").arg(i));
        Label1[i] = new QLabel(CommErrorText::kQuestions[size_t(i)], this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setWordWrap(i == 3);
        Label1[i]->setMaximumWidth(290);
        list->addWidget(bullet, i, 0, Qt::AlignTop);
        list->addWidget(Label1[i], i, 1);
    }

    // Wrapped at blanks only: a word joiner after each "/" keeps a device path on one line.
    Reason = new QLabel(QString(reason).replace(QLatin1Char('/'), QStringLiteral("/\u2060")), this);
    Reason->setObjectName("Reason");
    Reason->setWordWrap(true);
    Reason->setVisible(!reason.isEmpty());
    Reason->setStyleSheet(QStringLiteral("color: #a00000;"));

    Command1 = new QPushButton(tr("OK"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *content = new QVBoxLayout;
    content->addLayout(list);
    content->addWidget(Reason);
    layoutPictureDialog(this, Picture1, content, {Command1});
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
