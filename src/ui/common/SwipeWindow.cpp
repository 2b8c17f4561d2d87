#include "ui/common/SwipeWindow.h"

#include "ui/common/BusyScope.h"
#include "ui/common/LeaveChecker.h"
#include "ui/common/MessageWindow.h"
#include "ui/common/OperatorTexts.h"
#include "ui/common/RecordView.h"
#include "ui/common/ScreenPlacement.h"

#include <QEvent>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {
// Outer size of a window not yet mapped: its size plus the frame its neighbour has.
QSize outerSize(const QWidget &window, const QWidget &neighbour)
{
    return window.size().grownBy(Placement::frameMargins(neighbour));
}
} // namespace

QPoint placePrompt(const QSize &prompt, const QRect &mainFrame, const QRect &kept, const QRect &coverable,
                   const QRect &screen, const QList<QRect> &tools)
{
    if (const auto clear = Placement::clearOf(mainFrame, prompt, screen, 0, tools))
        return *clear;
    QRect all = mainFrame;
    for (const QRect &tool : tools)
        all = all.united(tool);
    if (const auto clear = Placement::clearOf(all, prompt, screen))
        return *clear;
    // No room round the main window: over the record the operation does not use, against the
    // one it does; where the screen ends there, on the kept record's other side.
    const int h = prompt.height();
    const int x = coverable.center().x() - prompt.width() / 2;
    const int above = kept.top() - h, below = kept.bottom() + 1;
    const bool coverAbove = coverable.top() < kept.top();
    for (const int y : {coverAbove ? above : below, coverAbove ? below : above}) {
        const QPoint p = Placement::keptOn({x, y}, prompt, screen);
        if (p.y() == y)
            return p;
    }
    return Placement::keptOn({x, screen.top()}, prompt, screen);
}

QPoint centreOn(const QSize &size, const QRect &over, const QRect &screen)
{
    // Exact for equal sizes: a window as large as `over` lies right on it.
    const QPoint offset((over.width() - size.width()) / 2, (over.height() - size.height()) / 2);
    return Placement::keptOn(over.topLeft() + offset, size, screen);
}

SwipeWindow::SwipeWindow(RecordView *records, QWidget *parent)
    : QDialog(parent), records_(records), readErrorTitle_(sfrmReadErr::kTitle), writeErrorTitle_(sfrmWriteErr::kTitle)
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::WindowModal);
    Command1 = new QPushButton(tr("Cancel"), this);
    Command1->setObjectName("Command1");
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &SwipeWindow::cancelAndClose);
}

void SwipeWindow::cancelAndClose()
{
    session_->cancel();
    close();
}

void SwipeWindow::setJob(const Connection &connection, const Job &job)
{
    session_ = std::make_unique<Session>(connection, job, *this);
}

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
    QList<QRect> tools;
    for (const QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && w->windowType() == Qt::Tool)
            tools << w->frameGeometry();
    adjustSize();
    const QRect input = view->inputRecordArea(), output = view->outputRecordArea();
    const bool writes = recordInUse_ == RecordInUse::Input;
    const QRect &kept = writes ? input : output, &coverable = writes ? output : input;
    Placement::moveFrameTo(*this,
                           placePrompt(outerSize(*this, *main), main->frameGeometry(), kept, coverable,
                                       Placement::availableScreen(*main), tools),
                           Placement::frameMargins(*main));
}

void SwipeWindow::startOnce()
{
    if (Started || closed_)
        return;
    Started = true;
    summary_ = session_->run();
    if (summary_.end == OperationEnd::PortLost)
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

void SwipeWindow::notice(Notice notice)
{
    if (records_)
        records_->setMessage(noticeText(notice));
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
    QString why = summary_.portError;
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
        // Over this window's frame. Early in a run the window manager may not have told its frame
        // yet (the message would sit a title bar low): placed again once the message is framed.
        const auto place = [&window, self = QPointer<SwipeWindow>(this)] {
            if (!self)
                return;
            const QMargins frame = Placement::frameMargins(window);
            Placement::moveFrameTo(window,
                                   centreOn(window.size().grownBy(frame), self->frameGeometry(), Placement::availableScreen(*self)),
                                   frame);
        };
        place();
        Placement::placeWhenFramed(window, place);
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
        session_->close();
    }
    QDialog::done(result);
}
