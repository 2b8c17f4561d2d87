#include "batch/cfrmTrackSelect.h"

#include "ui/common/PictureDialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

cfrmTrackSelect::cfrmTrackSelect(QWidget *parent) : QDialog(parent)
{
    setObjectName("cfrmTrackSelect");
    setWindowTitle(QStringLiteral("Incremental Encode - Track Selection"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, QStyle::SP_MessageBoxQuestion);
    Label1 = new QLabel(QStringLiteral("Please select a track to increment."), this);
    Label1->setObjectName("Label1");

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName("Frame1");
    auto *options = new QVBoxLayout(Frame1);
    for (int i = 0; i < 3; ++i) {
        Option1[i] = new QRadioButton(QStringLiteral("Track %1").arg(i + 1), Frame1);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        options->addWidget(Option1[i]);
    }
    Option1[0]->setChecked(true);

    Command1[1] = new QPushButton(QStringLiteral("OK"), this);
    Command1[0] = new QPushButton(QStringLiteral("Cancel"), this);
    for (int i = 0; i < 2; ++i) {
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }
    Command1[1]->setDefault(true);

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addWidget(Frame1);
    text->addStretch();
    layoutPictureDialog(this, Picture1, text, {Command1[1], Command1[0]});
}

void cfrmTrackSelect::Command1_Click(int index)
{
    if (index != 1) {
        reject();
        return;
    }
    for (int i = 0; i < 3; ++i)
        if (Option1[i]->isChecked())
            track_ = i + 1;
    accept();
}
