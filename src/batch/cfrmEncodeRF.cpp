#include "batch/cfrmEncodeRF.h"


#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
// The layout that holds `widget`, searched from `layout` down.
QBoxLayout *boxHolding(QLayout *layout, QWidget *widget)
{
    if (!layout)
        return nullptr;
    if (auto *box = qobject_cast<QBoxLayout *>(layout); box && box->indexOf(widget) >= 0)
        return box;
    for (int i = 0; i < layout->count(); ++i)
        if (QBoxLayout *found = boxHolding(layout->itemAt(i)->layout(), widget))
            return found;
    return nullptr;
}
} // namespace

cfrmEncodeRF::cfrmEncodeRF(const Connection &connection, const QByteArray &records, RecordView *view,
                           QWidget *parent)
    : CardPromptWindow(view, parent, QStringLiteral("File Encode Prompt - Write Record"),
                       QStringLiteral("You are writing card #") + QString(17, QLatin1Char(' ')) + QStringLiteral("."))
{
    setObjectName("cfrmEncodeRF");
    Skip = new QPushButton(tr("Skip"), this);
    Skip->setObjectName("Command1_1");
    Skip->setAutoDefault(false);
    Skip->setMinimumWidth(90);
    Skip->setEnabled(false);
    if (QBoxLayout *row = boxHolding(layout(), Command1))
        row->insertWidget(row->indexOf(Command1), Skip);
    connect(Skip, &QPushButton::clicked, this, [this] {
        hideCard();
        Skip->setEnabled(false);
        session().skip();
    });
    setRecordInUse(RecordInUse::Input);
    setJob(connection, Job{.kind = JobKind::Encode, .records = records});
}

EncodeRunEnd cfrmEncodeRF::runEnd() const
{
    if (end() == OperationEnd::Finished)
        return EncodeRunEnd::EndOfFile;
    return userClosed_ ? EncodeRunEnd::Cancelled : EncodeRunEnd::Stopped;
}

void cfrmEncodeRF::done(int result)
{
    // Closed by the operator (Cancel, Escape, close box) rather than by the run's own end.
    if (!started() || operationRunning())
        userClosed_ = true;
    CardPromptWindow::done(result);
}

void cfrmEncodeRF::begin()
{
    Skip->setEnabled(false);
    LC->show();
}

void cfrmEncodeRF::enableSkip(bool enabled) { Skip->setEnabled(enabled); }
