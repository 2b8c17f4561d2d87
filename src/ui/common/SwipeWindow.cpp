#include "ui/common/SwipeWindow.h"

#include "ui/common/BusyScope.h"
#include "ui/common/LeaveChecker.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/RecordView.h"

#include <QEvent>
#include <algorithm>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
int clampTo(int value, int low, int high) { return std::max(low, std::min(value, high)); }

// Outer size of a window not yet mapped: its size plus the frame its neighbour has.
QSize outerSize(const QWidget &window, const QWidget &neighbour)
{
    return window.size() + (neighbour.frameGeometry().size() - neighbour.geometry().size());
}

QRect screenOf(const QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

QPoint placePrompt(const QSize &prompt, const QRect &mainFrame, const QRect &inputRecord,
                   const QRect &outputRecord, const QRect &screen)
{
    const int w = prompt.width(), h = prompt.height();
    const int top = clampTo(mainFrame.top(), screen.top(), screen.bottom() + 1 - h);
    if (mainFrame.right() + w <= screen.right())
        return {mainFrame.right() + 1, top};
    if (mainFrame.left() - w >= screen.left())
        return {mainFrame.left() - w, top};
    // No room beside it: over the input record, ending just above the output record; on a
    // screen too low for that, below the output record (message box and buttons).
    const int x = clampTo(inputRecord.center().x() - w / 2, screen.left(), screen.right() + 1 - w);
    const int above = outputRecord.top() - h;
    if (above >= screen.top())
        return {x, above};
    const int below = outputRecord.bottom() + 1;
    if (below + h <= screen.bottom() + 1)
        return {x, below};
    return {x, screen.top()};
}

QPoint centreOn(const QSize &size, const QRect &over, const QRect &screen)
{
    // Exact for equal sizes: a window as large as `over` lies right on it.
    const QPoint centred = over.topLeft() + QPoint((over.width() - size.width()) / 2, (over.height() - size.height()) / 2);
    if (screen.isEmpty())
        return centred;
    return {clampTo(centred.x(), screen.left(), screen.right() + 1 - size.width()),
            clampTo(centred.y(), screen.top(), screen.bottom() + 1 - size.height())};
}

SwipeWindow::SwipeWindow(RecordView *records, QWidget *parent)
    : QDialog(parent), records_(records), readErrorTitle_(sfrmReadErr::kTitle), writeErrorTitle_(sfrmWriteErr::kTitle)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::WindowModal);
    Command1 = new QPushButton(tr("Cancel"), this);
    Command1->setObjectName("Command1");
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] {
        operation_->cancel();
        close();
    });
}

void SwipeWindow::setOperation(std::unique_ptr<Operation> operation) { operation_ = std::move(operation); }

SwipeWindow::~SwipeWindow() = default;

void SwipeWindow::showEvent(QShowEvent *event)
{
    if (!placed_) {
        placed_ = true;
        placeBesideRecords();
    }
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

// The main window is the records' widget, or the first window up the parent chain that shows
// the records (the non-ISO windows open over the format selection).
void SwipeWindow::placeBesideRecords()
{
    const QWidget *main = nullptr;
    const RecordView *view = nullptr;
    for (QWidget *w = parentWidget(); w && !view; w = w->parentWidget()) {
        if (auto *v = dynamic_cast<RecordView *>(w)) {
            main = w->window();
            view = v;
        }
    }
    if (!view) {
        main = dynamic_cast<QWidget *>(records_);
        view = main ? records_ : nullptr;
    }
    if (!view || !main->isVisible() || view->outputRecordArea().isEmpty())
        return;
    // Tool windows that stand by the main window (the simulator's panel) stay in sight too.
    QRect beside = main->frameGeometry();
    for (const QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && w->windowType() == Qt::Tool)
            beside = beside.united(w->frameGeometry());
    adjustSize();
    move(placePrompt(outerSize(*this, *main), beside, view->inputRecordArea(), view->outputRecordArea(),
                     screenOf(*main)));
}

void SwipeWindow::startOnce()
{
    if (Started || closed_)
        return;
    Started = true;
    end_ = operation_->run();
    if (end_ == OperationEnd::PortLost)
        reportPortLost();
    close();
}

void SwipeWindow::setErrorTitles(const QString &read, const QString &write)
{
    readErrorTitle_ = read;
    writeErrorTitle_ = write;
}

void SwipeWindow::showRecord(int firstBox, const Iso::Tracks &tracks, Counts counts)
{
    if (!records_)
        return;
    for (int i = 0; i < 3; ++i)
        records_->setTrackText(firstBox + i, tracks[size_t(i)]);
    if (counts == Counts::Kept)
        return;
    for (int i = 0; i < 3; ++i) {
        const QByteArray &t = tracks[size_t(i)];
        records_->setCount(firstBox + i, counts == Counts::AsRead    ? Iso::CharCountText(t)
                                         : counts == Counts::Lengths ? QString::number(t.size())
                                                                     : QStringLiteral("0"));
    }
}

void SwipeWindow::showOutput(const Iso::Tracks &tracks, Counts counts) { showRecord(3, tracks, counts); }

void SwipeWindow::showInput(const Iso::Tracks &tracks, Counts counts) { showRecord(0, tracks, counts); }

void SwipeWindow::setMessage(const QString &text)
{
    if (records_)
        records_->setMessage(text);
}

void SwipeWindow::reportError(OperationError error)
{
    switch (error) {
    case OperationError::Read: {
        sfrmReadErr window(this, readErrorTitle_);
        showModal(window);
        return;
    }
    case OperationError::Write: {
        sfrmWriteErr window(this, writeErrorTitle_);
        showModal(window);
        return;
    }
    case OperationError::Erase: {
        sfrmEraseErr window(this);
        showModal(window);
        return;
    }
    }
}

void SwipeWindow::stepAside(bool aside)
{
    Started = true;
    setVisible(!aside);
}

void SwipeWindow::reportPortLost()
{
    if (portLostShown_)
        return;
    portLostShown_ = true;
    QString why = operation_->portErrorText();
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
    // Also while this window has stepped aside for it: where it was is where it comes back.
    if (placed_) {
        window.adjustSize();
        // At least this window's size, so that nothing of it shows round the message.
        window.resize(window.size().expandedTo(size()));
        window.move(centreOn(outerSize(window, *this), frameGeometry(), screenOf(*this)));
    }
    window.setWindowModality(Qt::WindowModal);
    return window.exec();
}

void SwipeWindow::done(int result)
{
    // A second close (the close box after Escape) while the closing sequence runs: the window
    // stays in sight until that sequence ends; hiding it now would leave the sequence running
    // behind a window that looks gone, with the window below still waiting for it.
    if (closing_)
        return;
    if (!closed_) {
        closed_ = true;
        const FlagScope closing(closing_);
        const BusyScope busy(isVisible() ? statusLine() : nullptr, tr("Closing\u2026"));
        operation_->close();
    }
    QDialog::done(result);
}
