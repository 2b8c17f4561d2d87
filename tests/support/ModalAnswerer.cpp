#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QPushButton>

ModalAnswerer::ModalAnswerer(QObject *parent) : QObject(parent)
{
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start();
}

ModalAnswerer::~ModalAnswerer()
{
    for (QWidget *w : std::as_const(answered_))
        w->removeEventFilter(this);
}

void ModalAnswerer::queueButton(QMessageBox::StandardButton button)
{
    Queued q;
    q.button = button;
    queue_.append(q);
}

void ModalAnswerer::queueHandler(Handler handler)
{
    Queued q;
    q.handler = std::move(handler);
    queue_.append(q);
}

bool ModalAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide || event->type() == QEvent::Destroy) {
        answered_.remove(static_cast<QWidget *>(watched));
        watched->removeEventFilter(this);
    }
    return QObject::eventFilter(watched, event);
}

void ModalAnswerer::poll()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || answered_.contains(dialog))
        return;
    for (const QByteArray &name : std::as_const(ignored_))
        if (dialog->inherits(name.constData()))
            return;
    answered_.insert(dialog);
    dialog->installEventFilter(this);
    answer(dialog);
}

QString ModalAnswerer::kindOf(const QMessageBox *box)
{
    switch (box->icon()) {
    case QMessageBox::Information: return QStringLiteral("information");
    case QMessageBox::Warning: return QStringLiteral("warning");
    case QMessageBox::Critical: return QStringLiteral("critical");
    case QMessageBox::Question: return QStringLiteral("question");
    default: return QStringLiteral("none");
    }
}

QString ModalAnswerer::labelTexts(const QWidget *dialog)
{
    QStringList texts;
    for (const QLabel *label : dialog->findChildren<QLabel *>())
        if (!label->text().isEmpty())
            texts.append(label->text());
    return texts.join(QLatin1Char('\n'));
}

void ModalAnswerer::answer(QWidget *dialog)
{
    Seen seen;
    seen.className = QString::fromLatin1(dialog->metaObject()->className());
    seen.title = dialog->windowTitle();
    auto *box = qobject_cast<QMessageBox *>(dialog);
    seen.text = box ? box->text() : labelTexts(dialog);
    seen.kind = box ? kindOf(box) : QStringLiteral("dialog");

    Queued queued;
    if (!queue_.isEmpty())
        queued = queue_.takeFirst();

    if (queued.handler) {
        seen.pressed = QStringLiteral("handler");
        seen_.append(seen);
        queued.handler(dialog);
        return;
    }
    if (box) {
        const auto wanted = queued.button != QMessageBox::NoButton ? queued.button : button_;
        QAbstractButton *button = box->button(wanted);
        if (!button)
            button = box->defaultButton();
        if (!button)
            button = box->escapeButton();
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        seen.pressed = button ? button->text() : QStringLiteral("reject");
        seen_.append(seen);
        if (button)
            button->click();
        else
            box->reject();
        return;
    }
    if (dialogHandler_) {
        seen.pressed = QStringLiteral("handler");
        seen_.append(seen);
        dialogHandler_(dialog);
        return;
    }
    const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
    if (buttons.size() == 1) {
        seen.pressed = buttons.first()->text();
        seen_.append(seen);
        buttons.first()->click();
        return;
    }
    seen.pressed = QStringLiteral("reject");
    seen_.append(seen);
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->reject();
    else
        dialog->close();
}
