#include "ui/common/SwipeWindow.h"

#include "ui/common/MessageWindow.h"

#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

SwipeWindow::SwipeWindow(const WindowProfile &profile, RecordView *records, QWidget *parent)
    : QDialog(parent), profile_(profile), records_(records), dialect_(activeDialect()),
      device_(std::make_unique<Device>(token_)), readErrorTitle_(sfrmReadErr::kTitle),
      writeErrorTitle_(sfrmWriteErr::kTitle)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::WindowModal);
    Command1 = new QPushButton(tr("Cancel"), this);
    Command1->setObjectName("Command1");
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] {
        token_.CancelRequested = true;
        close();
    });
    // A port that fails mid-exchange ends the operation; the operator is told once, after the loop.
    device_->setPortLostHandler([this] {
        portLost_ = true;
        token_.CancelRequested = true;
    });
}

SwipeWindow::~SwipeWindow() = default;

void SwipeWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Command1->setFocus();
    if (!Started)
        QTimer::singleShot(0, this, &SwipeWindow::startOnce);
}

void SwipeWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Command1->setFocus();
    QDialog::changeEvent(event);
}

void SwipeWindow::startOnce()
{
    if (Started || closed_)
        return;
    Started = true;
    running_ = true;
    runOperation();
    running_ = false;
    if (portLost_)
        reportPortLost();
    close();
}

bool SwipeWindow::openPort()
{
    if (device_->open())
        return true;
    portLost_ = true;
    return false;
}

void SwipeWindow::setErrorTitles(const QString &read, const QString &write)
{
    readErrorTitle_ = read;
    writeErrorTitle_ = write;
}

bool SwipeWindow::runStartSequence()
{
    const StartResult result = dialect_.start(*device_, profile_.start);
    // Closed meanwhile: its closing sequence has run and nothing more goes to the encoder.
    if (cancelled())
        return false;
    switch (result) {
    case StartResult::Ok:
        return true;
    case StartResult::PortFailed:
        return false;
    case StartResult::AttentionRejected:
        reportRejectedAttention();
        return false;
    case StartResult::PrepareRejected: {
        if (profile_.start.disarmBeforeReport) {
            dialect_.disarm(*device_, profile_.exchange);
            if (cancelled())
                return false;
        }
        sfrmReadErr error(this, readErrorTitle_);
        showIndicatedError(error);
        return false;
    }
    }
    return false;
}

void SwipeWindow::reportRejectedAttention()
{
    sfrmReadErr error(this, readErrorTitle_);
    showModal(error);
}

void SwipeWindow::showIndicatedError(QDialog &window, const IndicatorOptions &options)
{
    dialect_.setErrorIndicator(*device_, true, options);
    // Closed while the indication waited for its answer (or before): no error window over a closed window.
    if (cancelled())
        return;
    showModal(window);
    dialect_.setErrorIndicator(*device_, false, options);
}

void SwipeWindow::reportPortLost()
{
    if (portLostShown_)
        return;
    portLostShown_ = true;
    QString why = device_->portErrorText();
    if (why.isEmpty())
        why = tr("The serial port failed.");
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Communications Error"),
                    tr("Communication with the encoder failed.\n%1\nThe window will close.").arg(why),
                    QMessageBox::Ok, parentWidget() ? parentWidget() : this);
    // Modal to the main window only, so the simulator's panel stays usable.
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

int SwipeWindow::showModal(QDialog &window)
{
    Started = true;
    window.setWindowModality(Qt::WindowModal);
    return window.exec();
}

void SwipeWindow::done(int result)
{
    if (!closed_) {
        closed_ = true;
        beforeClosing();
        dialect_.close(*device_, profile_.closing);
    }
    QDialog::done(result);
}
