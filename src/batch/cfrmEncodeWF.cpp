#include "batch/cfrmEncodeWF.h"

#include <QLabel>

cfrmEncodeWF::cfrmEncodeWF(const Connection &connection, RecordView *records, QWidget *parent)
    : CardPromptWindow(records, parent, QStringLiteral("File Save Prompt"),
                       QStringLiteral("Your are saving card #") + QString(15, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmEncodeWF");
    Label1->hide(); // shown when the run starts
    setOperation(std::make_unique<SaveOperation>(connection, *this));
    save().onCollected = [this](const EncodeDataFile::Record &record) { journal_.append(record); };
}

void cfrmEncodeWF::begin() { Label1->show(); }
