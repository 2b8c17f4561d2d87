#include "batch/cfrmRecEntry.h"

#include "card/Validators.h"
#include "card/CharacterMessages.h"
#include "ui/common/PictureDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Batch::IncrementSeries;

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString SevenBitTitle = CharacterMessages::sevenBitTitle();
const QString FiveBitTitle = CharacterMessages::fiveBitTitle();
const QString NumberTitle = QStringLiteral("Format Error");
const QString NumberText = QStringLiteral("Use numeral only. ");

QString sevenBitText() { return CharacterMessages::sevenBitText(QStringLiteral("fellowing"), CrLf); }
QString fiveBitText() { return CharacterMessages::fiveBitText(QStringLiteral("fellowing"), CrLf); }

enum class Kind { SevenBit, FiveBit, Number };

// Track 1's prefix and suffix are 7-bit text, those of tracks 2 and 3 5-bit text; the
// starting number, increment and count of every track are numbers.
Kind kindOf(int field)
{
    const int role = field % 5;
    if (role == cfrmRecEntry::Prefix || role == cfrmRecEntry::Suffix)
        return field < 5 ? Kind::SevenBit : Kind::FiveBit;
    return Kind::Number;
}

const char *const Captions[5] = {"Prefix:", "Starting #:", "Increment:", "Count:", "Suffix:"};
const char *const Headings[3] = {"  Track 1 Data (<= 76 Alphanumerics)", "  Track 2 Data (<= 37 Numerics)",
                                 "  Track 3 Data (<= 104 Numerics)"};

} // namespace

cfrmRecEntry::cfrmRecEntry(int incrementTrack, QWidget *parent)
    : QDialog(parent), track_(qBound(1, incrementTrack, 3))
{
    setObjectName("cfrmRecEntry");
    setWindowTitle(QStringLiteral("Incremental Encode - Base Record Entry"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    Picture1 = makePicture(this, QStyle::SP_FileDialogDetailedView);
    Label1 = new QLabel(QStringLiteral("Please enter the base record to encode."), this);
    Label1->setObjectName("Label1");

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    int row = 0;
    for (int t = 0; t < 3; ++t) {
        Label3[t] = new QLabel(QString::fromLatin1(Headings[t]), this);
        Label3[t]->setObjectName(QStringLiteral("Label3_%1").arg(t));
        QFont bold = Label3[t]->font();
        bold.setBold(true);
        Label3[t]->setFont(bold);
        LM[t] = new QLabel(QStringLiteral("0"), this);
        LM[t]->setObjectName(QStringLiteral("LM_%1").arg(t));
        LM[t]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        LM[t]->setFont(bold);
        if (t > 0)
            grid->setRowMinimumHeight(row++, 8);
        grid->addWidget(Label3[t], row, 0, 1, 2);
        grid->addWidget(LM[t], row, 2);
        ++row;
        for (int r = 0; r < 5; ++r) {
            const int i = 5 * t + r;
            LIT1[i] = new QLabel(QString::fromLatin1(Captions[r]), this);
            LIT1[i]->setObjectName(QStringLiteral("LIT1_%1").arg(i));
            TIT[i] = new QLineEdit(this);
            TIT[i]->setObjectName(QStringLiteral("TIT_%1").arg(i));
            // The data or prefix field holds at most the track; the other fields of tracks 2
            // and 3 at most 76 characters, those of track 1 have no limit of their own.
            if (r == Prefix)
                TIT[i]->setMaxLength(Batch::kTrackLimits[size_t(t)]);
            else if (t > 0)
                TIT[i]->setMaxLength(76);
            TIT[i]->setMinimumWidth(r == Prefix || r == Suffix ? 560 : 160);
            TIT[i]->installEventFilter(this);
            connect(TIT[i], &QLineEdit::textChanged, this, [this, i] { TIT_Change(i); });
            LT[i] = new QLabel(QStringLiteral("0"), this);
            LT[i]->setObjectName(QStringLiteral("LT_%1").arg(i));
            LT[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            LT[i]->setMinimumWidth(LT[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
            grid->addWidget(LIT1[i], row, 0);
            grid->addWidget(TIT[i], row, 1, Qt::AlignLeft);
            grid->addWidget(LT[i], row, 2);
            ++row;
        }
    }
    grid->setColumnStretch(1, 1);

    Command1[0] = new QPushButton(QStringLiteral("Cancel"), this);
    Command1[1] = new QPushButton(QStringLiteral("OK"), this);
    for (int i = 0; i < 2; ++i) {
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }
    // Enter in a field confirms, through the same checks as a click.
    Command1[1]->setDefault(true);

    auto *content = new QVBoxLayout;
    content->addWidget(Label1);
    content->addSpacing(4);
    content->addLayout(grid);
    content->addStretch();
    layoutPictureDialog(this, Picture1, content, {Command1[1], Command1[0]});

    for (int i = 0; i < 14; ++i)
        setTabOrder(TIT[i], TIT[i + 1]);
    setTabOrder(TIT[14], Command1[1]);
    setTabOrder(Command1[1], Command1[0]);
    Form_Activate();
}

void cfrmRecEntry::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Command1[1]->setFocus(Qt::OtherFocusReason);
}

// A track that is not chosen offers only its data field (the first of its group); the chosen
// track offers all five.
void cfrmRecEntry::Form_Activate()
{
    for (int i = 0; i < 15; ++i)
        setFieldEnabled(i, i % 5 == Prefix || i / 5 == track_ - 1);
}

void cfrmRecEntry::setFieldEnabled(int field, bool enabled)
{
    TIT[field]->setEnabled(enabled);
    QPalette box = TIT[field]->palette();
    box.setColor(QPalette::Base, QApplication::palette().color(enabled ? QPalette::Base : QPalette::Button));
    TIT[field]->setPalette(box);
    QPalette caption = LIT1[field]->palette();
    caption.setColor(QPalette::WindowText,
                     enabled ? QApplication::palette().color(QPalette::ButtonText) : QColor(128, 128, 128));
    LIT1[field]->setPalette(caption);
}

// ---- Counts ---------------------------------------------------------------------------------

void cfrmRecEntry::TIT_Change(int field)
{
    const int role = field % 5;
    LT[field]->setText(role == Increment || role == Count ? QStringLiteral("0")
                                                          : QString::number(TIT[field]->text().size()));
    for (int t = 0; t < 3; ++t) {
        const int base = 5 * t;
        const qsizetype length =
            TIT[base + Prefix]->text().size() + TIT[base + Start]->text().size() + TIT[base + Suffix]->text().size();
        LM[t]->setText(QString::number(length));
    }
}

int cfrmRecEntry::total() const
{
    int sum = 0;
    for (int t = 0; t < 3; ++t)
        sum += LM[t]->text().toInt();
    return sum;
}

// ---- Typing filter and leave-check ----------------------------------------------------------

bool cfrmRecEntry::eventFilter(QObject *watched, QEvent *event)
{
    int field = -1;
    for (int i = 0; i < 15; ++i)
        if (watched == TIT[i])
            field = i;
    if (field < 0)
        return QDialog::eventFilter(watched, event);

    if (event->type() == QEvent::KeyPress)
        return TIT_KeyPress(field, static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::FocusOut)
        leave_.focusOut(field, static_cast<QFocusEvent *>(event));
    return QDialog::eventFilter(watched, event);
}

bool cfrmRecEntry::TIT_KeyPress(int field, QKeyEvent *event)
{
    const QString typed = event->text();
    if (typed.size() != 1)
        return false;
    if (isCommandKey(event))
        return false;
    const QChar c = typed.at(0);
    if (c.unicode() < 32)
        return false; // control keys are never checked
    const Kind kind = kindOf(field);
    const QChar k = kind == Kind::SevenBit ? c.toUpper() : c;
    const char latin = k.unicode() <= 0xFF ? char(k.unicode()) : char(0);
    const QByteArray &set = kind == Kind::SevenBit  ? MainModule::Track7BitChars
                            : kind == Kind::FiveBit ? MainModule::Track5BitChars
                                                    : MainModule::DigitChars;
    if (!latin || !set.contains(latin)) {
        // Refused before it is inserted: nothing needs taking back.
        if (kind == Kind::SevenBit)
            showInformation(SevenBitTitle, sevenBitText());
        else if (kind == Kind::FiveBit)
            showInformation(FiveBitTitle, fiveBitText());
        else
            showInformation(NumberTitle, NumberText);
        focusBack(field);
        return true;
    }
    if (k == c)
        return false;
    TIT[field]->insert(QString(k)); // the field receives the capital letter
    return true;
}

bool cfrmRecEntry::TIT_LostFocus(int field)
{
    QString text = TIT[field]->text();
    if (text.isEmpty())
        return true;
    if ((field == 0 || field == 1 || field == 4) && text != text.toUpper()) {
        TIT[field]->setText(text.toUpper());
        text = TIT[field]->text();
    }
    switch (kindOf(field)) {
    case Kind::SevenBit:
        if (MainModule::IsValid7BitText(text.toLatin1()))
            return true;
        showInformation(SevenBitTitle, sevenBitText());
        break;
    case Kind::FiveBit:
        if (MainModule::IsValid5BitText(text.toLatin1()))
            return true;
        showInformation(FiveBitTitle, fiveBitText());
        break;
    case Kind::Number:
        // Whole, non-negative and within 32 bits: "-5", "2.5", "1e3" or 4000012345678 would
        // otherwise number the cards wrongly.
        if (Batch::NumberFieldValue(text))
            return true;
        showInformation(NumberTitle, NumberText);
        break;
    }
    focusBack(field);
    return false;
}

void cfrmRecEntry::focusBack(int field)
{
    leave_.focusBack(TIT[field]);
}

void cfrmRecEntry::showInformation(const QString &title, const QString &text)
{
    leave_.showInformation(title, text);
}

// ---- Buttons -------------------------------------------------------------------------------

void cfrmRecEntry::Command1_Click(int index)
{
    leave_.clearPending();
    if (index != 1) {
        reject();
        return;
    }
    // What the series gets is what the fields hold now, checked now.
    for (int i = 0; i < 15; ++i)
        if (TIT[i]->isEnabled() && !TIT_LostFocus(i))
            return;
    if (total() == 0)
        return;

    const int base = 5 * (track_ - 1);
    IncrementSeries s;
    s.IncrementTrack = track_;
    for (int t = 0; t < 3; ++t)
        s.TrackData[size_t(t)] = TIT[5 * t + Prefix]->text().toLatin1();
    s.Suffix = TIT[base + Suffix]->text().toLatin1();
    s.CurrentNumber = Batch::NumberFieldValue(TIT[base + Start]->text()).value_or(0);
    s.IncrementStep = Batch::NumberFieldValue(TIT[base + Increment]->text()).value_or(0);
    s.IncrementRemaining = Batch::NumberFieldValue(TIT[base + Count]->text()).value_or(0);
    if (s.IncrementRemaining == 0)
        s.IncrementRemaining = 1;

    // The chosen track of the last card must fit the card: a longer one would be cut short.
    const int limit = Batch::kTrackLimits[size_t(track_ - 1)];
    const int longest = s.longestChosenTrack();
    if (longest > limit) {
        showInformation(QStringLiteral("Track Length Error"),
                        QStringLiteral("Track %1 holds at most %2 characters.  Prefix, number and suffix of the "
                                       "last card (number %3) make %4.")
                            .arg(track_)
                            .arg(limit)
                            .arg(s.lastNumber())
                            .arg(longest));
        focusBack(base + Prefix);
        return;
    }
    series_ = s;
    accept();
}

void cfrmRecEntry::reject()
{
    leave_.clearPending();
    QDialog::reject();
}
