#include "ui/setup/frmCommSetup.h"

#include "operation/Connecting.h"
#include "ui/common/BusyScope.h"
#include "ui/setup/sfrmErrComm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmCommSetup::frmCommSetup(const Connection &base, QWidget *parent)
    : QDialog(parent), connection_(base)
{
    setObjectName("frmCommSetup");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label7 = new QLabel(QStringLiteral("Emulation Mode"), this);
    Frame1 = new QGroupBox(this);
    Option2[1] = new QRadioButton(QStringLiteral("HKD382"), Frame1);
    Option2[0] = new QRadioButton(QStringLiteral("VNT-290B"), Frame1);
    auto *modeBox = new QHBoxLayout(Frame1);
    modeBox->addWidget(Option2[1]);
    modeBox->addWidget(Option2[0]);

    Label5 = new QLabel(QStringLiteral("Write Coercivity"), this);
    auto *coBox = new QGroupBox(this);
    Option1[0] = new QRadioButton(QStringLiteral("High Co"), coBox);
    Option1[1] = new QRadioButton(QStringLiteral("Low Co"), coBox);
    auto *coLayout = new QHBoxLayout(coBox);
    coLayout->addWidget(Option1[0]);
    coLayout->addWidget(Option1[1]);

    Label6 = new QLabel(QStringLiteral("RS-232 Parameters"), this);
    auto *rsBox = new QGroupBox(this);
    Label1 = new QLabel(QStringLiteral("Serial Port"), rsBox);
    Label2 = new QLabel(QStringLiteral("Baud Rate"), rsBox);
    Label3 = new QLabel(QStringLiteral("Parity"), rsBox);
    Label4 = new QLabel(QStringLiteral("Data Bits"), rsBox);
    Combo1 = new QComboBox(rsBox);
    for (int i = 1; i <= 12; ++i)
        Combo1->addItem(QString::number(i));
    Combo2 = new QComboBox(rsBox);
    Combo2->addItems({"19200", "9600", "4800", "2400", "1200"});
    Combo3 = new QComboBox(rsBox);
    Combo3->addItems({"None", "Even", "Odd"});
    Combo4 = new QComboBox(rsBox);
    Combo4->addItems({"8", "7"});
    PortDevice = new QLabel(rsBox);
    PortDevice->setObjectName("PortDevice");
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(Combo1);
    portRow->addWidget(PortDevice, 1);
    auto *form = new QFormLayout(rsBox);
    form->addRow(Label1, portRow);
    form->addRow(Label2, Combo2);
    form->addRow(Label3, Combo3);
    form->addRow(Label4, Combo4);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName("Command1");
    Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    Command2->setObjectName("Command2");
    // Enter presses OK.
    Command1->setDefault(true);
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(false);

    Status = new QLabel(this);
    Status->setObjectName("Status");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Status, 1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Label7);
    outer->addWidget(Frame1);
    outer->addWidget(Label5);
    outer->addWidget(coBox);
    outer->addWidget(Label6);
    outer->addWidget(rsBox);
    outer->addLayout(buttons);
    setMinimumWidth(380);

    connect(Command1, &QPushButton::clicked, this, &frmCommSetup::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmCommSetup::endProgram);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmCommSetup::updatePortDevice);

    Form_Load();
}

frmCommSetup::~frmCommSetup() = default;

void frmCommSetup::Form_Load()
{
    Option2[1]->setChecked(true);
    Option1[0]->setChecked(true);
    Combo1->setCurrentText("1");
    Combo2->setCurrentText("9600");
    Combo3->setCurrentText("None");
    Combo4->setCurrentText("8");
    connection_.highCoercivity = true;
    setShowMakerInTitles(true);
    updatePortDevice();
}

void frmCommSetup::setShowMakerInTitles(bool show)
{
    setWindowTitle(show ? QStringLiteral("KAVRO VNT-410 Series Utility: Initial Setup")
                        : QStringLiteral("VNT-410 Series Utility: Initial Setup"));
}

void frmCommSetup::updatePortDevice()
{
    PortDevice->setText(describePort ? describePort(Combo1->currentText().toInt()) : QString());
}

void frmCommSetup::endProgram()
{
    // A handshake still waiting must not go on to open a window once the program is ending;
    // without its port it ends at once and sends nothing more.
    quitting_ = true;
    if (MSComm1)
        MSComm1->abandon();
    if (onEndProgram)
        onEndProgram();
    else
        QApplication::exit(0);
}

void frmCommSetup::showCommError(bool beep, const QString &reason)
{
    if (quitting_)
        return;
    if (beep)
        QApplication::beep();
    sfrmErrComm1 err(reason, this);
    err.setWindowModality(Qt::WindowModal);
    err.exec();
    Command1->setEnabled(true);
}

void frmCommSetup::connected()
{
    if (quitting_)
        return;
    finished_ = true;
    if (onConnected)
        onConnected(connection_);
    close();
}

void frmCommSetup::Command1_Click()
{
    if (!Command1->isEnabled())
        return;
    connection_.dialect = Option2[1]->isChecked() ? DialectId::Hkd382 : DialectId::Vnt290b;
    Command1->setEnabled(false);
    connection_.port = Combo1->currentText().toInt();
    connection_.baud = Combo2->currentText();
    connection_.parity = Combo3->currentText();
    connection_.dataBits = Combo4->currentText();

    connection_.highCoercivity = Option1[0]->isChecked();

    // A new link for the chosen line (and dialect, which the simulator answers in).
    MSComm1 = std::make_unique<Connecting>(connection_);
    Connecting::Verdict verdict;
    {
        const BusyScope busy(Status, tr("Testing the encoder\u2026"));
        verdict = MSComm1->run([this] { return quitting_; });
    }
    if (verdict.report)
        showCommError(verdict.beep, verdict.reason);
    if (!verdict.connected)
        return;
    if (onSaveSettings)
        onSaveSettings(connection_);
    connected();
}

void frmCommSetup::reject()
{
    // Escape and the close box end the program like "Cancel".
    if (!finished_)
        endProgram();
    QDialog::reject();
}

void frmCommSetup::closeEvent(QCloseEvent *event)
{
    if (MSComm1)
        MSComm1->abandon();
    QDialog::closeEvent(event);
}
