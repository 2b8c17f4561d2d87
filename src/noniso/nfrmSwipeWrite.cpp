#include "noniso/nfrmSwipeWrite.h"

#include "operation/NonIsoOperations.h"
#include "ui/common/MessageWindow.h"

#include <QLabel>

nfrmSwipeWrite::nfrmSwipeWrite(const Connection &connection, const NonIso::WriteJob &job, QWidget *parent)
    : CardPromptWindow(nullptr, parent, QStringLiteral("Non-ISO Write Swipe Prompt"),
                       QStringLiteral("You are writing card #") + QString(19, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("nfrmSwipeWrite");
    setErrorTitles(sfrmReadErr::kNonIsoTitle, sfrmWriteErr::kNonIsoTitle);
    LC->setText(QStringLiteral("0"));
    Label1->hide();
    setOperation(std::make_unique<NonIsoWriteOperation>(connection, job, *this));
}

void nfrmSwipeWrite::begin() { Label1->show(); }
