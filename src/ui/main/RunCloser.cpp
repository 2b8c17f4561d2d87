#include "ui/main/RunCloser.h"

#include "ui/common/SwipeWindow.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

RunCloser::RunCloser(QWidget &main) : main_(main) {}

void RunCloser::start()
{
    if (started_)
        return;
    started_ = true;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *swipe = qobject_cast<SwipeWindow *>(w))
            swipe->session().cancel();
    qApp->installEventFilter(this);
    answerTop();
}

// Each time a window of the program is hidden, the next one is answered.
bool RunCloser::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow())
        QTimer::singleShot(0, this, &RunCloser::answerTop);
    return false;
}

void RunCloser::answerTop()
{
    QWidget *top = QApplication::activeModalWidget();
    if (!top || top == &main_)
        return;
    if (auto *swipe = qobject_cast<SwipeWindow *>(top))
        swipe->cancelAndClose();
    else if (auto *dialog = qobject_cast<QDialog *>(top))
        dialog->reject();
}
