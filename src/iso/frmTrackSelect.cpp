#include "iso/frmTrackSelect.h"

#include "ui/common/PictureDialog.h"

#include <QCheckBox>
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

    Picture1 = makePicture(this, QStyle::SP_MessageBoxQuestion);

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
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setObjectName("Command2");
    connect(Command1, &QPushButton::clicked, this, &frmTrackSelect::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addLayout(checks);
    text->addStretch();
    layoutPictureDialog(this, Picture1, text, {Command1, Command2});
}

void frmTrackSelect::Command1_Click()
{
    for (int i = 0; i < 3; ++i)
        if (Check1[i]->isChecked())
            mask_ |= 1 << i;
    accept();
}
