#include "iso/frmEraseCard.h"


#include <QLabel>
#include <QStyle>

namespace {
const QString kCardPrefix = QStringLiteral("You are erasing card #");
constexpr int kCardBlanks = 19;
} // namespace

const QString frmEraseCard::kLabel1Text = kCardPrefix + QString(kCardBlanks, QLatin1Char(' ')) + QStringLiteral(". Please swipe a card.");

frmEraseCard::frmEraseCard(const Connection &connection, int mask, RecordView *records, QWidget *parent)
    : CardPromptWindow(records, parent, QStringLiteral("Erase - Swipe Prompt"), kLabel1Text, QStyle::SP_TrashIcon)
{
    setObjectName("frmEraseCard");
    // The card-number line appears when the loop starts.
    Label1->hide();
    LC->hide();
    setJob(connection, Job{.kind = JobKind::Erase, .eraseMask = mask});
}
