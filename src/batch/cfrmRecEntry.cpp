#include "batch/cfrmRecEntry.h"

#include "card/Validators.h"
#include "operation/JobChecks.h"
#include "ui/common/PictureDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

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
    // Track 1's prefix and suffix take 7-bit text, those of tracks 2 and 3 5-bit text; the
    // starting number, increment and count of every track digits.
    const bool isText = field % 5 == Prefix || field % 5 == Suffix;
    const bool sevenBit = isText && field < 5;
    const QChar k = sevenBit ? c.toUpper() : c;
    const char latin = k.unicode() <= 0xFF ? char(k.unicode()) : char(0);
    const QByteArray &set = !isText ? MainModule::DigitChars
                            : sevenBit ? MainModule::Track7BitChars
                                       : MainModule::Track5BitChars;
    if (!latin || !set.contains(latin)) {
        // Refused before it is inserted: nothing needs taking back.
        const Refusal refusal = Jobs::seriesCharacters(field);
        showInformation(refusal.title, refusal.text);
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
    const std::optional<Refusal> refusal = Jobs::seriesField(field, text);
    if (text != TIT[field]->text())
        TIT[field]->setText(text);
    if (!refusal)
        return true;
    showInformation(refusal->title, refusal->text);
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
    const int base = 5 * (track_ - 1);
    Jobs::SeriesEntry entry;
    entry.track = track_;
    for (int t = 0; t < 3; ++t)
        entry.data[size_t(t)] = TIT[5 * t + Prefix]->text();
    QString *own[5] = {&entry.prefix, &entry.start, &entry.step, &entry.count, &entry.suffix};
    for (int role = 0; role < 5; ++role)
        *own[role] = TIT[base + role]->text();
    const Jobs::Checked checked = Jobs::incremental(entry);
    if (!checked.ok()) {
        // Nothing entered: nothing happens. A series too long for the card: back to its prefix.
        if (!checked.refusal->text.isEmpty()) {
            showInformation(checked.refusal->title, checked.refusal->text);
            focusBack(checked.refusal->field < 0 ? base + Prefix : checked.refusal->field);
        }
        return;
    }
    series_ = checked.job.series;
    accept();
}

void cfrmRecEntry::reject()
{
    leave_.clearPending();
    QDialog::reject();
}
