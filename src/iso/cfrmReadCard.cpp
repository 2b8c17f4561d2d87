#include "iso/cfrmReadCard.h"


cfrmReadCard::cfrmReadCard(const Connection &connection, RecordView *records, QWidget *parent)
    : CardPromptWindow(records, parent, QStringLiteral("Read Swipe Prompt"),
                       QStringLiteral("You are reading card #") + QString(17, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmReadCard");
    setJob(connection, Job{.kind = JobKind::Read});
}
