#include "ui/common/BusyScope.h"

#include <QApplication>
#include <QLabel>

BusyScope::BusyScope(QLabel *status, const QString &text) : status_(status)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!status_)
        return;
    oldText_ = status_->text();
    wasHidden_ = status_->isHidden();
    status_->setText(text);
    status_->show();
    // The wait that follows serves no events: paint now or the window looks frozen.
    if (status_->isVisible())
        status_->repaint();
}

BusyScope::~BusyScope()
{
    QApplication::restoreOverrideCursor();
    if (!status_)
        return;
    status_->setText(oldText_);
    status_->setHidden(wasHidden_);
}
