#include "iso/frmTrackSelect.h"

#include "device/SharedState.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

frmTrackSelect::frmTrackSelect(QWidget *parent) : QDialog(parent)
{
    setObjectName("frmTrackSelect");
    setWindowTitle(QStringLiteral("Erase-Track Selection"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(48, 48));
    Picture1->setFixedSize(48, 48);

    Label1 = new QLabel(QStringLiteral("Please select the track(s) to erase."), this);
    Label1->setObjectName("Label1");

    auto *checks = new QVBoxLayout;
    checks->setContentsMargins(12, 4, 0, 0);
    for (int i = 0; i < 3; ++i) {
        Check1[i] = new QCheckBox(QStringLiteral("Track %1").arg(i + 1), this);
        Check1[i]->setObjectName("Check1");
        Check1[i]->setProperty("index", i);
        Check1[i]->setChecked(false);
        checks->addWidget(Check1[i]);
    }

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName("Command1");
    Command1->setDefault(true);
    Command1->setMinimumWidth(90);
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setObjectName("Command2");
    Command2->setMinimumWidth(90);
    connect(Command1, &QPushButton::clicked, this, &frmTrackSelect::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addLayout(checks);
    text->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(Picture1, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addSpacing(12);
    buttons->addWidget(Command2);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(row);
    outer->addSpacing(10);
    outer->addLayout(buttons);
    outer->setContentsMargins(18, 18, 18, 14);
    setMinimumWidth(340);
}

void frmTrackSelect::Command1_Click()
{
    for (int i = 0; i < 3; ++i)
        if (Check1[i]->isChecked())
            MainModule::EraseTrackMask |= 1 << i;
    accept();
}
