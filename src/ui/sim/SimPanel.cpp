#include "ui/sim/SimPanel.h"

#include "sim/Simulator.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

SimPanel::SimPanel() : SimPanel(Simulator::instance()) {}

SimPanel::SimPanel(Simulator &sim) : QWidget(nullptr, Qt::Tool), sim_(sim)
{
    setWindowTitle(QStringLiteral("Encoder Simulator"));
    setObjectName(QStringLiteral("SimPanel"));
    // The panel must not keep the program alive once the main window has gone.
    setAttribute(Qt::WA_QuitOnClose, false);

    status_ = new QLabel(this);
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);

    auto *slotBox = new QGroupBox(QStringLiteral("Card in the slot"), this);
    auto *slotGrid = new QGridLayout(slotBox);
    cardName_ = new QLabel(slotBox);
    slotGrid->addWidget(new QLabel(QStringLiteral("Card:"), slotBox), 0, 0);
    slotGrid->addWidget(cardName_, 0, 1, 1, 2);
    for (int i = 0; i < 3; ++i) {
        auto *field = new QLineEdit(slotBox);
        field->setReadOnly(true);
        field->setMinimumWidth(320);
        tracks_[size_t(i)] = field;
        formats_[size_t(i)] = new QLabel(slotBox);
        formats_[size_t(i)]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("raw 7-bit, 210 BPI")));
        slotGrid->addWidget(new QLabel(QStringLiteral("Track %1:").arg(i + 1), slotBox), i + 1, 0);
        slotGrid->addWidget(field, i + 1, 1);
        slotGrid->addWidget(formats_[size_t(i)], i + 1, 2);
    }
    slotGrid->setColumnStretch(1, 1);

    auto *deckBox = new QGroupBox(QStringLiteral("Deck"), this);
    auto *deckLayout = new QVBoxLayout(deckBox);
    deck_ = new QListWidget(deckBox);
    deck_->setSelectionMode(QAbstractItemView::SingleSelection);
    deckLayout->addWidget(deck_);
    connect(deck_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!filling_ && row >= 0)
            sim_.selectCard(row);
    });

    swipe_ = new QPushButton(QStringLiteral("Swipe"), this);
    swipe_->setDefault(true);
    connect(swipe_, &QPushButton::clicked, this, &SimPanel::onSwipe);
    badSwipe_ = new QCheckBox(QStringLiteral("Bad swipe"), this);
    connect(badSwipe_, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_)
            sim_.setBadSwipe(on);
    });
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(swipe_);
    buttons->addWidget(badSwipe_);
    buttons->addStretch();

    note_ = new QLabel(this);
    note_->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(slotBox);
    layout->addWidget(deckBox);
    layout->addLayout(buttons);
    layout->addWidget(note_);

    connect(&sim_, &Simulator::changed, this, &SimPanel::refresh);
    refresh();
}

void SimPanel::refresh()
{
    filling_ = true;
    QString status = sim_.statusText();
    if (!sim_.portPresent())
        status += QStringLiteral(" (disconnected)");
    status_->setText(status);
    if (sim_.awaitingSwipe())
        note_->clear();

    const SimCard &card = sim_.cardInSlot();
    const int slot = sim_.slotIndex();
    cardName_->setText(slot >= 0 ? card.name : card.name + QStringLiteral(" (inserted)"));
    for (int i = 0; i < 3; ++i) {
        const SimTrack &track = card.tracks[size_t(i)];
        const QString text = Simulator::trackText(track);
        QLineEdit *field = tracks_[size_t(i)];
        if (field->text() != text) {
            field->setText(text);
            field->setCursorPosition(0);
        }
        field->setToolTip(text);
        formats_[size_t(i)]->setText(Simulator::trackFormat(track, i + 1));
    }

    const QList<SimCard> &deck = sim_.deck();
    if (deck_->count() != deck.size()) {
        deck_->clear();
        for (const SimCard &c : deck)
            deck_->addItem(c.name);
        // Tall enough for the whole (short) deck, no taller.
        const int rows = int(std::clamp<qsizetype>(deck.size(), 3, 10));
        deck_->setFixedHeight(deck_->sizeHintForRow(0) * rows + 2 * deck_->frameWidth() + 4);
    } else {
        for (int i = 0; i < deck.size(); ++i)
            deck_->item(i)->setText(deck[i].name);
    }
    deck_->setCurrentRow(slot);
    badSwipe_->setChecked(sim_.badSwipe());
    filling_ = false;
}

void SimPanel::onSwipe()
{
    if (!sim_.awaitingSwipe()) {
        note_->setText(QStringLiteral("Nothing is waiting for a swipe."));
        return;
    }
    note_->clear();
    sim_.swipe();
}
