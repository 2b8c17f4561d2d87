#include "noniso/nfrmWDD.h"

#include "noniso/nfrmWrite.h"
#include "ui/common/PictureDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace NonIso;

nfrmWDD::nfrmWDD(const Selection &selection, SwipeWriteRunner swipeWrite, QWidget *parent)
    : QDialog(parent), selection_(selection), swipeWrite_(std::move(swipeWrite))
{
    setObjectName("nfrmWDD");
    setWindowTitle(QStringLiteral("Non-ISO Write - Data Density Selection"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, QStyle::SP_FileDialogDetailedView);
    Label1 = new QLabel(QStringLiteral("Please select a write density for each track."), this);
    Label1->setObjectName("Label1_0");

    auto *grid = new QGridLayout;
    grid->setContentsMargins(12, 4, 0, 0);
    for (int t = 0; t < 3; ++t) {
        LIT1[t] = new QLabel(QStringLiteral("T%1:").arg(t + 1), this);
        LIT1[t]->setObjectName(QStringLiteral("LIT1_%1").arg(t));
        Combo1[t] = new QComboBox(this);
        Combo1[t]->setObjectName(QStringLiteral("Combo1_%1").arg(t));
        Combo1[t]->addItems({Density210Item, Density75Item});
        Combo1[t]->setCurrentText(densityItem(DefaultDensities[size_t(t)]));
        connect(Combo1[t], &QComboBox::currentIndexChanged, this, &nfrmWDD::Combo1_Click);
        grid->addWidget(LIT1[t], t, 0);
        grid->addWidget(Combo1[t], t, 1);
    }
    grid->setColumnStretch(2, 1);

    Command2 = new QPushButton(QStringLiteral("OK"), this);
    Command2->setObjectName("Command2");
    Command2->setDefault(true);
    Command3 = new QPushButton(QStringLiteral("Cancel"), this);
    Command3->setObjectName("Command3");
    connect(Command2, &QPushButton::clicked, this, &nfrmWDD::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &nfrmWDD::Command3_Click);

    auto *content = new QVBoxLayout;
    content->addWidget(Label1);
    content->addLayout(grid);
    content->addStretch();
    layoutPictureDialog(this, Picture1, content, {Command2, Command3});
    Combo1_Click();
    Combo1[0]->setFocus();
}

void nfrmWDD::Combo1_Click()
{
    for (int t = 0; t < 3; ++t)
        densities_[size_t(t)] = densityOf(Combo1[t]->currentText());
}

void nfrmWDD::Command2_Click()
{
    Combo1_Click();
    {
        // The entry window takes this window's place over the selection window; this window
        // is closed only after the entry window has returned, never under its own handler.
        nfrmWrite entry(selection_, densities_, swipeWrite_, parentWidget());
        hide();
        entry.setWindowModality(Qt::WindowModal);
        entry.exec();
    }
    done(QDialog::Accepted);
}

void nfrmWDD::Command3_Click() { reject(); }
