#include "batch/cfrmEncodeWF.h"

#include "batch/BatchProfiles.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QLabel>

cfrmEncodeWF::cfrmEncodeWF(RecordView *records, QWidget *parent)
    : CardPromptWindow(Batch::kSaveToFile, records, parent, QStringLiteral("File Save Prompt"),
                       QStringLiteral("Your are saving card #") + QString(15, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmEncodeWF");
    Label1->hide(); // shown when the run starts
}

void cfrmEncodeWF::runOperation()
{
    if (!openPort())
        return;
    Label1->show();
    if (!runStartSequence())
        return;

    while (!cancelled()) {
        Label2->hide();
        LC->setText(QString::number(SaveCardNumber()));
        dialect().armRead(device(), ArmRead::Drained);
        if (cancelled())
            break;
        const ReadResult read = dialect().readIso(device(), Batch::kSaveToFileRead, prompt());
        if (cancelled())
            break;
        if (read.outcome == Outcome::Aborted)
            continue; // not armed: try again at once
        if (read.outcome == Outcome::Succeeded) {
            showOutput(read.tracks, true);
            // A "*" track, or a byte its track cannot hold (line noise), is no card to save:
            // a "|", CR or LF would shift every record after it.
            if (collection_.append({read.tracks})) {
                journal_.append({read.tracks});
                records()->setMessage(QStringLiteral("\r\nSuccessful read from card swipe."));
                continue;
            }
        } else {
            showFailedOutput();
        }
        records()->setMessage(QString());
        sfrmReadErr error(this, readErrorTitle());
        showIndicatedError(error);
    }
    records()->setMessage(QString());
}
