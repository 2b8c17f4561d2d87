#include "noniso/nfrmReadStdFmt.h"

#include "card/RawCodec.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace NonIso;

nfrmReadStdFmt::nfrmReadStdFmt(const Selection &selection, const Iso::Tracks &trackData, QWidget *parent)
    : QDialog(parent), selection_(selection), trackData_(trackData)
{
    setObjectName("nfrmReadStdFmt");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    static const char *const kDesign[3] = {"Track 1 Data (7-Bit Character)", "Track 2 Data (5-Bit Character)",
                                           "Track 3 Data (5-Bit Character)"};
    auto *grid = new QGridLayout(this);
    for (int i = 0; i < 3; ++i) {
        Shape1[i] = new QFrame(this);
        Shape1[i]->setObjectName(QStringLiteral("Shape1_%1").arg(i));
        Shape1[i]->setFrameShape(QFrame::Box);
        Shape1[i]->setFixedSize(10, 10);
        Label1[i] = new QLabel(QString::fromLatin1(kDesign[i]), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        TIT[i] = new QPlainTextEdit(this);
        TIT[i]->setObjectName(QStringLiteral("TIT_%1").arg(i));
        TIT[i]->setReadOnly(true);
        TIT[i]->setFixedHeight(TIT[i]->fontMetrics().lineSpacing() * 3 + 12);
        TIT[i]->setMinimumWidth(520);
        LT[i] = new QLabel(QStringLiteral("0"), this);
        LT[i]->setObjectName(QStringLiteral("LT_%1").arg(i));
        LT[i]->setMinimumWidth(30);
        grid->addWidget(Shape1[i], 2 * i, 0);
        grid->addWidget(Label1[i], 2 * i, 1, 1, 2);
        grid->addWidget(TIT[i], 2 * i + 1, 1);
        grid->addWidget(LT[i], 2 * i + 1, 2, Qt::AlignTop);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName("Command1");
    grid->addWidget(Command1, 6, 1, 1, 2, Qt::AlignHCenter);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    fill();
}

void nfrmReadStdFmt::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Command1->setFocus();
}

void nfrmReadStdFmt::SetTrackCaptions()
{
    for (int i = 0; i < 3; ++i) {
        const QString &item = selection_.trackFormat[size_t(i)];
        QString width;
        if (item == StdT1Item || item == Raw7Item)
            width = QStringLiteral("7-Bit Character");
        else if (item == StdT2Item || item == StdT3Item || item == Raw5Item)
            width = QStringLiteral("5-Bit Character");
        else if (item == Raw6Item)
            width = QStringLiteral("6-Bit Character");
        else
            continue;
        Label1[i]->setText(QStringLiteral("Track %1 Data (%2)").arg(i + 1).arg(width));
    }
}

void nfrmReadStdFmt::fill()
{
    SetTrackCaptions();
    if (selection_.standardFormat) {
        setWindowTitle(QStringLiteral("Non-ISO Read: Standard Format on Non-Standard Track (ASCII)"));
        for (int i = 0; i < 3; ++i) {
            const QByteArray &t = trackData_[size_t(i)];
            TIT[i]->setPlainText(QString::fromLatin1(t));
            LT[i]->setText(QString::number(t == Iso::NoData || t == Iso::Unreadable ? 0 : t.size()));
        }
    } else {
        setWindowTitle(QStringLiteral("Non-ISO Read: Custom Data Format (Hex)"));
        for (int i = 0; i < 3; ++i) {
            QByteArray text = ToHexPairs(trackData_[size_t(i)]);
            if (text == "2B ") // the encoder's "+": no data on the track
                text.clear();
            TIT[i]->setPlainText(QString::fromLatin1(text));
            LT[i]->setText(QString::number(CountHexPairs(text)));
        }
    }
}
