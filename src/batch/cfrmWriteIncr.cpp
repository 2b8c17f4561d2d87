#include "batch/cfrmWriteIncr.h"

#include <QLabel>

cfrmWriteIncr::cfrmWriteIncr(const Connection &connection, const Batch::IncrementSeries &series, RecordView *records,
                             QWidget *parent)
    : CardPromptWindow(records, parent, QStringLiteral("Incremental Encode Prompt "),
                       promptLine(series.IncrementRemaining))
{
    setObjectName("cfrmWriteIncr");
    // This window's own title: a later write window reads "Write Swipe Error" again.
    setErrorTitles(sfrmReadErr::kTitle, QStringLiteral("Incremental Encode Write Error"));
    Label1->hide();
    LC->hide();
    setRecordInUse(RecordInUse::Input);
    setJob(connection, Job{.kind = JobKind::Incremental, .series = series});
}

QString cfrmWriteIncr::promptLine(qint64 total)
{
    return QStringLiteral("You are writing card #") + QString(17, QLatin1Char(' ')) + QStringLiteral("of  ")
           + QString::number(total) + QStringLiteral(". Please swipe a card.");
}

cfrmWriteIncr::End cfrmWriteIncr::end() const
{
    if (!started() || operationRunning())
        return End::Running;
    switch (CardPromptWindow::end()) {
    case OperationEnd::Finished:
        return End::Completed;
    case OperationEnd::Cancelled:
        return End::Cancelled;
    case OperationEnd::Refused:
        return End::Refused;
    case OperationEnd::StartRefused:
        return End::StartFailed;
    case OperationEnd::PortLost:
        return End::PortLost;
    }
    return End::Running;
}

sfrmIncEOK::sfrmIncEOK(QWidget *parent)
    : MessageWindow(QStringLiteral("Incremental Encode Complete"),
                    QStringLiteral("Last incremental encode done.  Press OK to exit."), parent,
                    QStyle::SP_MessageBoxInformation)
{
    setObjectName("sfrmIncEOK");
}
