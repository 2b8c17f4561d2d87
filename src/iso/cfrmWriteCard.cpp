#include "iso/cfrmWriteCard.h"


cfrmWriteCard::cfrmWriteCard(const Connection &connection, const Iso::Tracks &tracks, RecordView *records,
                             QWidget *parent)
    : CardPromptWindow(records, parent, QStringLiteral("Write Swipe Prompt"),
                       QStringLiteral("You are writing card #") + QString(18, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmWriteCard");
    setRecordInUse(RecordInUse::Input);
    setJob(connection, Job{.kind = JobKind::Write, .tracks = tracks});
}
