#include "iso/cfrmCopyCard.h"

#include "ui/common/PictureDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

const QString cfrmCopyCard::kReadTitle = QStringLiteral("Copy Swipe Prompt - Read Source");
const QString cfrmCopyCard::kWriteTitle = QStringLiteral("Copy Swipe Prompt - Write Target");
const QString cfrmCopyCard::kReadPrompt = QStringLiteral("Please swipe a card to read.");
const QString cfrmCopyCard::kWritePrompt = QStringLiteral("Please swipe a card to write.");

cfrmCopyCard::cfrmCopyCard(const Connection &connection, RecordView *records, QWidget *parent)
    : SwipeWindow(records, parent)
{
    setObjectName("cfrmCopyCard");

    Picture1 = makePicture(this, QStyle::SP_ArrowForward);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    // Wide enough for either prompt, and the window keeps its size while the prompt comes and goes.
    Label1->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(kWritePrompt) + 4);
    QSizePolicy keep = Label1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Label1->setSizePolicy(keep);
    showPhase(PromptPhase::Source);
    Label1->hide();

    auto *content = new QVBoxLayout;
    content->addWidget(Label1, 1, Qt::AlignVCenter);
    layoutPictureDialog(this, Picture1, content, {Command1});
    setRecordInUse(RecordInUse::Input);
    setJob(connection, Job{.kind = JobKind::Copy});
}

QColor cfrmCopyCard::readPromptColour() const { return palette().color(QPalette::ButtonText); }

QColor cfrmCopyCard::writePromptColour() { return QColor(255, 0, 0); }

void cfrmCopyCard::showPhase(PromptPhase phase)
{
    const bool writing = phase == PromptPhase::Target;
    setWindowTitle(writing ? kWriteTitle : kReadTitle);
    Label1->setText(writing ? kWritePrompt : kReadPrompt);
    QPalette colours = Label1->palette();
    colours.setColor(QPalette::WindowText, writing ? writePromptColour() : readPromptColour());
    Label1->setPalette(colours);
}

void cfrmCopyCard::begin() { Label1->show(); }

void cfrmCopyCard::showPrompt(bool shown) { Label1->setVisible(shown); }
