#include "noniso/frmNonISOFmtSel.h"

#include "noniso/nfrmWDD.h"
#include "ui/common/PictureDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace NonIso;

namespace {

QComboBox *makeList(const QStringList &items, QWidget *parent, const QString &name, int index)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setProperty("index", index);
    combo->addItems(items);
    return combo;
}

} // namespace

frmNonISOFmtSel::frmNonISOFmtSel(bool customFormatAvailable, QWidget *parent)
    : QDialog(parent), customAvailable_(customFormatAvailable)
{
    setObjectName("frmNonISOFmtSel");
    setWindowTitle(QStringLiteral("Non-ISO Read/Write - Data Format Selection"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, QStyle::SP_FileDialogDetailedView);
    Label1[0] = makeLabel(QStringLiteral("Please select a data format for each track."), this, "Label1_0");
    Label1[1] = makeLabel(QStringLiteral("Non-Standard Track"), this, "Label1_1");
    Label1[2] = makeLabel(QStringLiteral("(5, 6, or 7 Bits per Character)"), this, "Label1_2");

    Option1[0] = new QRadioButton(QStringLiteral("Standard Format on "), this);
    Option1[1] = new QRadioButton(QStringLiteral("Custom Data Format"), this);
    options_ = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        options_->addButton(Option1[i], i);
    }
    connect(options_, &QButtonGroup::idClicked, this, &frmNonISOFmtSel::Option1_Click);

    const char *names[] = {"T1:", "T2:", "T3:", "T3:", "T2:", "T1:"};
    for (int i = 0; i < 6; ++i)
        LIT1[i] = makeLabel(QString::fromLatin1(names[i]), this, QStringLiteral("LIT1_%1").arg(i));
    for (int t = 0; t < 3; ++t) {
        Combo1[t] = makeList(standardItems(), this, QStringLiteral("Combo1_%1").arg(t), t);
        Combo2[t] = makeList(customItems(), this, QStringLiteral("Combo2_%1").arg(t), t);
    }

    Command1 = new QPushButton(QStringLiteral("Read"), this);
    Command1->setObjectName("Command1");
    Command2 = new QPushButton(QStringLiteral("Write"), this);
    Command2->setObjectName("Command2");
    Command3 = new QPushButton(QStringLiteral("Cancel"), this);
    Command3->setObjectName("Command3");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &frmNonISOFmtSel::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmNonISOFmtSel::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmNonISOFmtSel::Command3_Click);

    // Two columns, the standard format left and the custom format right; track 1 at the top.
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->addWidget(Option1[0], 0, 0, 1, 2);
    grid->addWidget(Label1[1], 1, 1);
    grid->addWidget(Option1[1], 0, 3, 1, 2);
    grid->addWidget(Label1[2], 1, 4);
    const int customLabel[3] = {5, 4, 3};
    for (int t = 0; t < 3; ++t) {
        grid->addWidget(LIT1[t], 2 + t, 0);
        grid->addWidget(Combo1[t], 2 + t, 1);
        grid->addWidget(LIT1[customLabel[t]], 2 + t, 3);
        grid->addWidget(Combo2[t], 2 + t, 4);
    }
    grid->setColumnMinimumWidth(2, 24);
    auto *content = new QVBoxLayout;
    content->addWidget(Label1[0]);
    content->addSpacing(6);
    content->addLayout(grid);
    content->addStretch();
    layoutPictureDialog(this, Picture1, content, {Command1, Command2, Command3});

    // Tab order: the standard column, the custom column, then the buttons.
    QWidget *order[] = {Option1[0], Combo1[0], Combo1[1], Combo1[2], Option1[1], Combo2[0],
                        Combo2[1], Combo2[2], Command1, Command2, Command3};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    Form_Load();
}

void frmNonISOFmtSel::Form_Load()
{
    for (int t = 0; t < 3; ++t) {
        Combo1[t]->setCurrentIndex(t); // each track in its own standard format
        Combo2[t]->setCurrentIndex(0); // 5 bits
    }
    Option1[0]->setChecked(true);
    // The custom format exists only where the encoder's dialect has it.
    for (QWidget *w : {static_cast<QWidget *>(Option1[1]), static_cast<QWidget *>(Label1[2]),
                       static_cast<QWidget *>(LIT1[3]), static_cast<QWidget *>(LIT1[4]),
                       static_cast<QWidget *>(LIT1[5])})
        w->setEnabled(customAvailable_);
    Option1_Click(0);
    Option1[0]->setFocus();
}

void frmNonISOFmtSel::Option1_Click(int index)
{
    if (!customAvailable_ && index == 1)
        Option1[0]->setChecked(true);
    const bool standard = Option1[0]->isChecked();
    for (int t = 0; t < 3; ++t) {
        Combo1[t]->setEnabled(standard);
        Combo2[t]->setEnabled(!standard);
    }
}

void frmNonISOFmtSel::publish()
{
    published_.standardFormat = Option1[0]->isChecked();
    for (int t = 0; t < 3; ++t)
        published_.trackFormat[size_t(t)] = (published_.standardFormat ? Combo1[t] : Combo2[t])->currentText();
}

void frmNonISOFmtSel::Command1_Click()
{
    publish();
    if (readRunner_)
        readRunner_(published_, this);
}

void frmNonISOFmtSel::Command2_Click()
{
    publish();
    if (writeRunner_)
        writeRunner_(published_, this);
    else
        runWriteEntry(published_);
}

void frmNonISOFmtSel::Command3_Click() { reject(); }

void frmNonISOFmtSel::runWriteEntry(const Selection &selection)
{
    nfrmWDD densities(selection, swipeWriteRunner_, this);
    densities.setWindowModality(Qt::WindowModal);
    densities.exec();
}
