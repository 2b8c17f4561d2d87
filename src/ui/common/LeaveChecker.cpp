#include "ui/common/LeaveChecker.h"

#include <QFocusEvent>
#include <QMessageBox>
#include <QMetaObject>

LeaveChecker::LeaveChecker(QWidget *window, std::function<bool(int)> check, Options options)
    : window_(window), check_(std::move(check)), options_(options)
{
}

bool LeaveChecker::focusOut(int box, const QFocusEvent *event)
{
    // Only a move to another control of this window is a leave: not a message box or another
    // window taking the focus, not a context menu, not our own focus-back.
    const Qt::FocusReason reason = event->reason();
    if (messageShown_ || focusingBack_ || reason == Qt::ActiveWindowFocusReason
        || reason == Qt::PopupFocusReason)
        return false;
    pending_ = box;
    // The window is the context: a window gone before the call drops it.
    QMetaObject::invokeMethod(window_, [this] { runPending(); }, Qt::QueuedConnection);
    return true;
}

bool LeaveChecker::runPending()
{
    if (pending_ < 0 || (options_.onlyWhileVisible && !window_->isVisible()))
        return true;
    const int box = pending_;
    pending_ = -1;
    return check_(box);
}

void LeaveChecker::focusBack(QWidget *box)
{
    FlagScope scope(focusingBack_);
    box->setFocus(Qt::OtherFocusReason);
}

void LeaveChecker::showInformation(const QString &title, const QString &text)
{
    FlagScope scope(messageShown_);
    QMessageBox message(QMessageBox::Information, title, text, QMessageBox::Ok, window_);
    message.setTextFormat(Qt::PlainText);
    message.exec();
    // Not every window system hands the activation back after a message; without it the focus
    // moves that follow would not be seen as leaving a box.
    if (options_.handBackActivation && window_->isVisible() && !window_->isActiveWindow())
        window_->activateWindow();
}
