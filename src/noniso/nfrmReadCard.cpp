#include "noniso/nfrmReadCard.h"

#include "noniso/nfrmReadStdFmt.h"
#include "ui/common/MessageWindow.h"

nfrmReadCard::nfrmReadCard(const Connection &connection, const NonIso::Selection &selection, QWidget *parent)
    : CardPromptWindow(nullptr, parent, QStringLiteral("Non-ISO Read Swipe Prompt"),
                       QStringLiteral("You are reading card #") + QString(18, QLatin1Char(' ')) + QStringLiteral(".")),
      selection_(selection)
{
    setObjectName("nfrmReadCard");
    setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
    setJob(connection, Job{.kind = JobKind::NonIsoRead, .selection = selection});
}

void nfrmReadCard::showNonIsoCard(const Iso::Tracks &tracks)
{
    nfrmReadStdFmt result(selection_, tracks, this);
    showModal(result);
}
