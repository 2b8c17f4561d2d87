#include "noniso/nfrmReadCard.h"

#include "noniso/NonIsoProfiles.h"
#include "noniso/nfrmReadStdFmt.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>

nfrmReadCard::nfrmReadCard(const NonIso::Selection &selection, QWidget *parent)
    : CardPromptWindow(NonIso::kRead, nullptr, parent, QStringLiteral("Non-ISO Read Swipe Prompt"),
                       QStringLiteral("You are reading card #") + QString(18, QLatin1Char(' ')) + QStringLiteral(".")),
      selection_(selection)
{
    setObjectName("nfrmReadCard");
    setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
}

void nfrmReadCard::runOperation()
{
    if (!openPort())
        return;
    LC->setText(QStringLiteral("1"));
    if (!runStartSequence())
        return;

    // Raw characters are read only where the encoder knows them; otherwise one error, then close.
    const bool readable = selection_.standardFormat || dialect().hasCustomNonIsoFormat();
    const ReadyOptions ready{true, true};
    while (!cancelled()) {
        Label2->hide();
        dialect().signalReady(device(), ready);
        const ReadResult read = dialect().readNonIso(device(), selection_, prompt());
        if (cancelled())
            break;
        if (read.outcome == Outcome::Succeeded) {
            dialect().signalReady(device(), ready);
            trackData_ = read.tracks;
            nfrmReadStdFmt result(selection_, trackData_, this);
            showModal(result);
            nextCard();
        } else if (read.outcome == Outcome::Failed) {
            sfrmReadErr err(this, readErrorTitle());
            showIndicatedError(err);
            if (!readable)
                break;
        }
    }
}
