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
    setOperation(std::make_unique<NonIsoReadOperation>(connection, selection, *this));
}

void nfrmReadCard::showNonIsoCard(const Iso::Tracks &tracks)
{
    nfrmReadStdFmt result(selection_, tracks, this);
    showModal(result);
}
