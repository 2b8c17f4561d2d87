#include "noniso/nfrmWrite.h"

#include "card/RawCodec.h"
#include "card/Validators.h"
#include "noniso/EntryBox.h"
#include "operation/JobChecks.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace NonIso;

namespace {

QFrame *makeMarker(QWidget *parent, int index)
{
    auto *shape = new QFrame(parent);
    shape->setObjectName(QStringLiteral("Shape1_%1").arg(index));
    shape->setFixedSize(9, 9);
    shape->setFrameStyle(QFrame::Box | QFrame::Plain);
    shape->setAutoFillBackground(true);
    QPalette p = shape->palette();
    p.setColor(QPalette::Window, QColor(0x00, 0x00, 0x80));
    shape->setPalette(p);
    return shape;
}

} // namespace

nfrmWrite::nfrmWrite(const Selection &selection, const Densities &densities, SwipeWriteRunner swipeWrite,
                     QWidget *parent)
    : QDialog(parent), selection_(selection), densities_(densities), swipeWrite_(std::move(swipeWrite))
{
    setObjectName("nfrmWrite");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 14, 18, 14);
    for (int i = 0; i < 3; ++i) {
        Shape1[i] = makeMarker(this, i);
        Label1[i] = new QLabel(this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[i]->setTextFormat(Qt::PlainText);
        TIT[i] = new EntryBox(this);
        TIT[i]->setObjectName(QStringLiteral("TIT_%1").arg(i));
        TIT[i]->setMinimumWidth(560);
        TIT[i]->setFixedHeight(TIT[i]->fontMetrics().lineSpacing() * 3 + 12);
        TIT[i]->installEventFilter(this);
        TIT[i]->viewport()->installEventFilter(this);
        connect(TIT[i], &QPlainTextEdit::textChanged, this, [this, i] { TIT_Change(i); });
        LT[i] = new QLabel(QStringLiteral("0"), this);
        LT[i]->setObjectName(QStringLiteral("LT_%1").arg(i));
        LT[i]->setMinimumWidth(LT[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
        LT[i]->setAlignment(Qt::AlignRight | Qt::AlignTop);

        auto *caption = new QHBoxLayout;
        caption->addWidget(Shape1[i]);
        caption->addWidget(Label1[i], 1);
        auto *entry = new QHBoxLayout;
        entry->addWidget(TIT[i], 1);
        entry->addWidget(LT[i]);
        outer->addLayout(caption);
        outer->addLayout(entry);
        outer->addSpacing(8);
    }
    Shape1[3] = makeMarker(this, 3);
    Label1[3] = new QLabel(QStringLiteral("Please note LSB of first character must be a '1'."), this);
    Label1[3]->setObjectName("Label1_3");
    auto *note = new QHBoxLayout;
    note->addWidget(Shape1[3]);
    note->addWidget(Label1[3], 1);
    outer->addLayout(note);

    Command1[0] = new QPushButton(QStringLiteral("OK"), this);
    Command1[1] = new QPushButton(QStringLiteral("Cancel"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (int i = 0; i < 2; ++i) {
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setMinimumWidth(90);
        buttons->addWidget(Command1[i]);
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }
    buttons->setSpacing(12);
    buttons->addStretch();
    Command1[0]->setDefault(true);
    outer->addSpacing(6);
    outer->addLayout(buttons);

    setTabOrder(TIT[0], TIT[1]);
    setTabOrder(TIT[1], TIT[2]);
    setTabOrder(TIT[2], Command1[0]);
    setTabOrder(Command1[0], Command1[1]);

    Form_Load();
}

void nfrmWrite::Form_Load()
{
    for (int i = 0; i < 3; ++i) {
        pairDigits_[i] = 0;
        data_[i].clear();
    }

    const bool standard = selection_.standardFormat;
    setWindowTitle(standard ? QStringLiteral("Non-ISO Write: Standard Format on Non-Standard Track (ASCII)")
                            : QStringLiteral("Non-ISO Write: Custom Data Format (Hex)"));
    Label1[3]->setVisible(!standard);
    Shape1[3]->setVisible(!standard);
    for (int i = 0; i < 3; ++i) {
        const QString &item = selection_.trackFormat[size_t(i)];
        const Density density = densities_[size_t(i)];
        const QString head = QStringLiteral("Track %1 Data ( ").arg(i + 1);
        maxChars_[i] = entryCapacity(standard, item, density);
        if (standard) {
            TIT[i]->setMaxLength(maxChars_[i]);
            Label1[i]->setText(head + item.left(15) + QStringLiteral(" ) Max ") + QString::number(maxChars_[i])
                               + QStringLiteral(" Characters"));
        } else {
            const int bits = BitsPerCharacter(item);
            TIT[i]->setMaxLength(0);
            Label1[i]->setText(head + item + QStringLiteral(", Hex Value 01 ~ ") + QLatin1Char(HexLimitDigit(bits))
                               + QStringLiteral("F ) Max ") + QString::number(maxChars_[i]) + QStringLiteral(" Characters."));
        }
    }
}

void nfrmWrite::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    TIT[0]->setFocus(Qt::OtherFocusReason);
}

QByteArray nfrmWrite::NonIsoWriteData(int track) const
{
    return track >= 1 && track <= 3 ? data_[track - 1] : QByteArray();
}

int nfrmWrite::maxCharacters(int track) const { return track >= 1 && track <= 3 ? maxChars_[track - 1] : 0; }

QString nfrmWrite::boxText(int box) const { return TIT[box]->text(); }

void nfrmWrite::setBoxText(int box, const QString &text)
{
    FlagScope scope(replacing_);
    TIT[box]->setText(text);
}

// ---- Events of the boxes ---------------------------------------------------------------------

void nfrmWrite::TIT_Change(int box)
{
    const QString text = boxText(box);
    const int count = selection_.standardFormat ? int(text.size()) : CountHexPairs(text);
    LT[box]->setText(QString::number(count));
    // Typing beyond the limit is only reported here; "OK" refuses it.
    if (!selection_.standardFormat && !replacing_ && count > maxChars_[box])
        showInformation(tooLong(maxChars_[box]));
}

void nfrmWrite::TIT_KeyDown(int box, int key)
{
    if (key == Qt::Key_Backspace || key == Qt::Key_Space || (key >= Qt::Key_Left && key <= Qt::Key_Down))
        pairDigits_[box] = 0;
}

void nfrmWrite::TIT_Click(int box)
{
    if (!selection_.standardFormat)
        pairDigits_[box] = 0;
}

bool nfrmWrite::TIT_KeyPress(int box, QKeyEvent *event)
{
    TIT_KeyDown(box, event->key());
    const QString typed = event->text();
    if (typed.isEmpty())
        return false;
    if (isCommandKey(event))
        return false;
    if (typed.size() != 1)
        return false;
    const QChar c = typed.at(0);
    if (c.unicode() < 32 || !c.isPrint())
        return false; // control keys pass unchanged (the box itself takes no line ends)
    const QChar k = c.toUpper();
    const char latin = k.unicode() <= 0xFF ? char(k.unicode()) : char(0);

    if (selection_.standardFormat) {
        const char digit = BitsDigit(selection_.trackFormat[size_t(box)]);
        const QByteArray &set = digit == '7' ? MainModule::Track7BitChars : MainModule::Track5BitChars;
        if (digit != '5' && digit != '7')
            return false;
        if (!latin || !set.contains(latin)) {
            // Refused before it is inserted: nothing needs taking back.
            showInformation(characterError(digit == '7'));
            focusBack(box);
            return true;
        }
        if (k == c)
            return false;
        TIT[box]->insertText(QString(k)); // the box receives the capital letter
        return true;
    }

    if (k == QLatin1Char(' ')) {
        pairDigits_[box] = 0;
        return false;
    }
    if (!latin || !MainModule::HexChars.contains(latin)) {
        showInformation(hexCharacterError());
        focusBack(box);
        return true;
    }
    // A digit that completes a pair is followed by a blank.
    if (pairDigits_[box] == 0) {
        pairDigits_[box] = 1;
        TIT[box]->insertText(QString(k));
    } else {
        pairDigits_[box] = 0;
        TIT[box]->insertText(QString(k) + QLatin1Char(' '));
    }
    return true;
}

bool nfrmWrite::TIT_LostFocus(int box)
{
    pairDigits_[box] = 0;
    const QString text = boxText(box);
    const QString upper = entryText(text); // blanks alone are no data
    if (upper != text)
        setBoxText(box, upper);
    const EntryCheck check = checkText(selection_.standardFormat, selection_.trackFormat[size_t(box)], upper);
    // A track that failed its check has no data to write.
    if (!selection_.standardFormat)
        data_[box] = check.data;
    if (check.ok())
        return true;
    showInformation(check);
    focusBack(box);
    return false;
}

bool nfrmWrite::eventFilter(QObject *watched, QEvent *event)
{
    int box = -1;
    for (int i = 0; i < 3; ++i)
        if (watched == TIT[i] || watched == TIT[i]->viewport())
            box = i;
    if (box < 0)
        return QDialog::eventFilter(watched, event);

    if (watched == TIT[box]->viewport()) {
        if (event->type() == QEvent::MouseButtonPress)
            TIT_Click(box);
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && !passThrough_)
        return TIT_KeyPress(box, static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::FocusOut)
        leave_.focusOut(box, static_cast<QFocusEvent *>(event));
    return QDialog::eventFilter(watched, event);
}

void nfrmWrite::focusBack(int box)
{
    leave_.focusBack(TIT[box]);
}

void nfrmWrite::showInformation(const EntryCheck &failed)
{
    leave_.showInformation(failed.title, failed.text);
}

// ---- Buttons -------------------------------------------------------------------------------

void nfrmWrite::Command1_Click(int index)
{
    leave_.clearPending();
    if (index == 1) {
        reject();
        return;
    }
    // What is written is what the boxes hold now, checked now.
    for (int i = 0; i < 3; ++i)
        if (!TIT_LostFocus(i))
            return;
    // Every box has passed its own checks: what is left is each track's capacity, and data.
    const Jobs::Checked checked = Jobs::nonIsoWrite(selection_, densities_, {boxText(0), boxText(1), boxText(2)});
    if (!checked.ok()) {
        if (!checked.refusal->text.isEmpty()) {
            leave_.showInformation(checked.refusal->title, checked.refusal->text);
            focusBack(checked.refusal->field);
        }
        return;
    }
    const WriteJob &job = checked.job.nonIsoWrite;
    if (swipeWrite_)
        swipeWrite_(job, this);
}

void nfrmWrite::reject()
{
    leave_.clearPending();
    QDialog::reject();
}
