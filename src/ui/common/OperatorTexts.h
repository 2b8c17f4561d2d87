#pragma once
// The windows' words for what an operation tells: its notices in the message box, the titles and
// texts of its error windows, and the line that ends a batch run.
#include "operation/Operator.h"

#include <QString>

namespace OperationText {
inline const QString kReadSuccess = QStringLiteral("\r\nSuccessful read from card swipe.");
inline const QString kWriteComplete = QStringLiteral("\r\nWrite complete.  Verify data accuracy before continue.");
inline const QString kEraseComplete = QStringLiteral("\r\nErase complete.  Verify data accuracy before continue.");
// The error reports: each front end's title and text for an OperationError.
inline const QString kReadErrorTitle = QStringLiteral("Read Swipe Error");
inline const QString kReadErrorText = QStringLiteral("Read error!  Please try again.");
inline const QString kNonIsoReadErrorTitle = QStringLiteral("Non-ISO Read Swipe Error");
inline const QString kWriteErrorTitle = QStringLiteral("Write Swipe Error");
inline const QString kNonIsoWriteErrorTitle = QStringLiteral("Non-ISO Write Swipe Error");
inline const QString kWriteErrorText = QStringLiteral("Write error!  Please try again.");
inline const QString kEraseErrorTitle = QStringLiteral("Erase Swipe Error");
inline const QString kEraseErrorText = QStringLiteral("Erase error!  Please try again.");
// The line a run's end adds to the message box: how its cards went ("saved" for a save run).
inline QString tallyLine(const QString &done, qint64 count, qint64 skipped, qint64 failed, bool skips)
{
    QString line = QStringLiteral("\r\nCards %1: %2").arg(done).arg(count);
    if (skips)
        line += QStringLiteral(", skipped: %1").arg(skipped);
    return line + QStringLiteral(", failed: %1.").arg(failed);
}
} // namespace OperationText

// The message box's text for a notice.
inline QString noticeText(Notice notice)
{
    using namespace OperationText;
    switch (notice) {
    case Notice::Clear:
        return {};
    case Notice::ReadSuccess:
        return kReadSuccess;
    case Notice::WriteComplete:
        return kWriteComplete;
    case Notice::EraseComplete:
        return kEraseComplete;
    }
    return {};
}
