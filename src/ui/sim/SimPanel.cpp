#include "ui/sim/SimPanel.h"

#include "sim/Simulator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>


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

    cards_ = new QComboBox(this);
    // The rows' texts are long: the list opens wide, the box itself may be narrow.
    cards_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cards_->setMinimumContentsLength(14);
    cards_->addItem(QStringLiteral("The card in the slot (every swipe)"));
    cards_->addItem(QStringLiteral("Sample stack: five different cards, one per swipe"));
    cards_->addItem(QStringLiteral("Blank stack: five blank cards, one per swipe"));
    connect(cards_, &QComboBox::activated, this, [this](int row) { deal(row); });
    restack_ = new QPushButton(QStringLiteral("Restack"), this);
    restack_->setToolTip(QStringLiteral("Deal the chosen stack again"));
    connect(restack_, &QPushButton::clicked, this, [this] { deal(cards_->currentIndex()); });
    auto *cardsRow = new QHBoxLayout;
    cardsRow->addWidget(new QLabel(QStringLiteral("Cards:"), this));
    cardsRow->addWidget(cards_, 1);
    cardsRow->addWidget(restack_);

    cardBox_ = new QGroupBox(QStringLiteral("Card in the slot"), this);
    auto *slotGrid = new QGridLayout(cardBox_);
    cardName_ = new QLabel(cardBox_);
    cardName_->setTextFormat(Qt::PlainText);
    // Its width is the layout's to give, never the name's.
    cardName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cardName_->installEventFilter(this);
    slotGrid->addWidget(new QLabel(QStringLiteral("Card:"), cardBox_), 0, 0);
    slotGrid->addWidget(cardName_, 0, 1, 1, 2);
    // Wide where the screen has room; narrower beside the main window on a small screen.
    struct TrackField : QLineEdit {
        using QLineEdit::QLineEdit;
        QSize sizeHint() const override { return {320, QLineEdit::sizeHint().height()}; }
    };
    for (int i = 0; i < 3; ++i) {
        auto *field = new TrackField(cardBox_);
        field->setReadOnly(true);
        tracks_[size_t(i)] = field;
        formats_[size_t(i)] = new QLabel(cardBox_);
        formats_[size_t(i)]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("raw 7-bit, 210 BPI")));
        slotGrid->addWidget(new QLabel(QStringLiteral("Track %1:").arg(i + 1), cardBox_), i + 1, 0);
        slotGrid->addWidget(field, i + 1, 1);
        slotGrid->addWidget(formats_[size_t(i)], i + 1, 2);
    }
    slotGrid->setColumnStretch(1, 1);

    auto *deckBox = new QGroupBox(QStringLiteral("Cards"), this);
    auto *deckLayout = new QVBoxLayout(deckBox);
    deck_ = new QListWidget(deckBox);
    deck_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Rows as wide as the list, not as their text: a long name is elided where the list ends
    // instead of running into a horizontal scroll.
    struct ElidingRows : QStyledItemDelegate {
        using QStyledItemDelegate::QStyledItemDelegate;
        QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
        {
            return {1, QStyledItemDelegate::sizeHint(option, index).height()};
        }
    };
    deck_->setItemDelegate(new ElidingRows(deck_));
    deck_->setTextElideMode(Qt::ElideMiddle);
    deck_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Room for the deck and a stack with both piles, no taller.
    deck_->setFixedHeight(deck_->fontMetrics().height() * 10 + 2 * deck_->frameWidth() + 12);
    deckLayout->addWidget(deck_);
    connect(deck_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_ || row < 0)
            return;
        if (sim_.stackMode()) {
            shownRow_ = row; // look at a card; the stack's order stays
            refresh();
        } else {
            sim_.selectCard(row);
        }
    });

    swipe_ = new QPushButton(QStringLiteral("Swipe"), this);
    swipe_->setDefault(true);
    connect(swipe_, &QPushButton::clicked, this, &SimPanel::onSwipe);
    badSwipe_ = new QCheckBox(QStringLiteral("Bad swipe"), this);
    connect(badSwipe_, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_)
            sim_.setBadSwipe(on);
    });
    nextBad_ = new QCheckBox(QStringLiteral("Next swipe bad (once)"), this);
    connect(nextBad_, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_)
            sim_.setNextSwipeBad(on);
    });
    swipeAgain_ = new QPushButton(QStringLiteral("Swipe Again"), this);
    swipeAgain_->setToolTip(QStringLiteral("Swipe the card shown once more, e.g. to read back what was written"));
    connect(swipeAgain_, &QPushButton::clicked, this, &SimPanel::onSwipeAgain);
    // Two rows, so the panel can stand narrow.
    auto *buttons = new QGridLayout;
    buttons->addWidget(swipe_, 0, 0);
    buttons->addWidget(swipeAgain_, 0, 1);
    buttons->addWidget(badSwipe_, 1, 0);
    buttons->addWidget(nextBad_, 1, 1);
    buttons->setColumnStretch(2, 1);

    note_ = new QLabel(this);
    note_->setWordWrap(true);
    // The hint's lines are reserved, so nothing moves when it appears.
    note_->setMinimumHeight(note_->fontMetrics().lineSpacing() * 2);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addLayout(cardsRow);
    layout->addWidget(cardBox_);
    layout->addWidget(deckBox);
    layout->addLayout(buttons);
    layout->addWidget(note_);

    connect(&sim_, &Simulator::changed, this, &SimPanel::refresh);
    refresh();
}

void SimPanel::deal(int cards)
{
    shownRow_ = -1;
    note_->clear();
    cards_->setCurrentIndex(cards);
    switch (cards) {
    case SampleStack:
        sim_.setStack(Simulator::sampleStack());
        break;
    case BlankStack:
        sim_.setStack(Simulator::blankStack());
        break;
    default:
        sim_.useSlot();
        break;
    }
}

void SimPanel::showCardName(const QString &name)
{
    fullName_ = name;
    cardName_->setToolTip(name);
    cardName_->setText(cardName_->fontMetrics().elidedText(name, Qt::ElideMiddle, cardName_->width()));
}

bool SimPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cardName_ && event->type() == QEvent::Resize)
        showCardName(fullName_);
    return QWidget::eventFilter(watched, event);
}

void SimPanel::showCard(const SimCard &card, const QString &name)
{
    showCardName(name);
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

    QStringList names;
    int current = -1;
    if (sim_.stackMode()) {
        // The swiped pile first, then the cards still to come, numbered in swipe order.
        const QList<SimCard> &swiped = sim_.swipedCards();
        const QList<SimCard> &stack = sim_.stack();
        const int total = int(swiped.size() + stack.size());
        for (int i = 0; i < total; ++i) {
            const bool done = i < swiped.size();
            const SimCard &c = done ? swiped[i] : stack[i - swiped.size()];
            QString name = QStringLiteral("Card %1: %2").arg(i + 1).arg(c.name);
            if (!done && i == swiped.size())
                name += QStringLiteral("  (next)");
            else if (done)
                name += QStringLiteral("  (swiped)");
            names << name;
        }
        if (shownRow_ >= total)
            shownRow_ = -1;
        // Until the operator picks one, the next card (or, once all are swiped, the last one).
        current = shownRow_ >= 0 ? shownRow_ : (stack.isEmpty() ? total - 1 : int(swiped.size()));
        shownCard_ = current;
        if (current >= 0) {
            const bool done = current < swiped.size();
            const SimCard &c = done ? swiped[current] : stack[current - swiped.size()];
            showCard(c, names[current]);
        } else {
            showCard(SimCard{}, QStringLiteral("(no cards)"));
        }
        cardBox_->setTitle(current >= 0 && current == swiped.size() ? QStringLiteral("Next card")
                                                                     : QStringLiteral("Card"));
        cards_->setCurrentIndex(cards_->currentIndex() == SlotCard ? SampleStack : cards_->currentIndex());
    } else {
        for (const SimCard &c : sim_.deck())
            names << c.name;
        current = sim_.slotIndex();
        shownCard_ = -1;
        const SimCard &card = sim_.cardInSlot();
        showCard(card, current >= 0 ? card.name : card.name + QStringLiteral(" (inserted)"));
        cardBox_->setTitle(QStringLiteral("Card in the slot"));
        cards_->setCurrentIndex(SlotCard);
    }
    restack_->setEnabled(sim_.stackMode());
    swipeAgain_->setEnabled(sim_.stackMode() && shownCard_ >= 0 && shownCard_ < sim_.swipedCards().size());

    if (deck_->count() != names.size()) {
        deck_->clear();
        deck_->addItems(names);
    } else {
        for (int i = 0; i < names.size(); ++i)
            deck_->item(i)->setText(names[i]);
    }
    for (int i = 0; i < names.size(); ++i)
        deck_->item(i)->setToolTip(names[i]);
    deck_->setCurrentRow(current);
    badSwipe_->setChecked(sim_.badSwipe());
    nextBad_->setChecked(sim_.nextSwipeBad());
    filling_ = false;
}

bool SimPanel::swipeRefused()
{
    if (sim_.awaitingSwipe())
        return false;
    note_->setText(QStringLiteral("Nothing is waiting for a swipe."));
    return true;
}

void SimPanel::onSwipe()
{
    if (swipeRefused())
        return;
    if (!sim_.hasCardToSwipe()) {
        note_->setText(QStringLiteral("The stack is empty: pick a swiped card and choose Swipe Again, or Restack."));
        return;
    }
    note_->clear();
    shownRow_ = -1;
    const qsizetype swiped = sim_.swipedCards().size();
    sim_.swipe();
    if (sim_.stackMode() && sim_.swipedCards().size() > swiped) {
        shownRow_ = int(swiped); // what the swipe did to the card
        refresh();
    } else if (sim_.stackMode()) {
        note_->setText(QStringLiteral("Bad swipe: the card stays on the stack; swipe it again."));
    }
}

void SimPanel::onSwipeAgain()
{
    if (swipeRefused())
        return;
    note_->clear();
    // The card stays shown: what this swipe read from it or did to it.
    shownRow_ = shownCard_;
    sim_.swipeAgain(shownCard_);
}

