#pragma once
// Base of every window that runs an operation: the operation's Operator (prompt, records,
// error windows). It runs the operation once, queued after the window is first shown (Started
// absorbs the activations that follow message windows), and runs its closing sequence exactly
// once however the window is closed (Cancel, Escape, close box), even while the operation is
// still waiting.
#include "operation/Session.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class RecordView;

// Where a swipe window goes, as outer top-left, from outer sizes and rectangles in screen
// coordinates: next to the main window where the screen has room (right, left, below, above),
// clear of it and of the tool windows by it (`tools`: the simulator's panel), else next to all
// of them; otherwise over the `coverable` record, so that the `kept` record (the one the
// operation shows or writes) stays in sight.
QPoint placePrompt(const QSize &prompt, const QRect &mainFrame, const QRect &kept, const QRect &coverable,
                   const QRect &screen, const QList<QRect> &tools = {});
// Outer top-left that centres a window of outer size `size` on `over`, kept on `screen`.
QPoint centreOn(const QSize &size, const QRect &over, const QRect &screen);

class SwipeWindow : public QDialog, public Operator {
    Q_OBJECT
public:
    SwipeWindow(RecordView *records, QWidget *parent = nullptr);
    ~SwipeWindow() override;

    Session &session() { return *session_; }
    bool cancelled() const { return session_->cancelled(); }
    bool started() const { return Started; }
    bool operationRunning() const { return session_->running(); }
    // How the operation ended (Cancelled until it has).
    OperationEnd end() const { return summary_.end; }
    // How the run ended and how its cards went (whole once it has ended).
    RunSummary summary() const { return Started ? session_->summary() : RunSummary{}; }

    // Shows a modal message window centred on this one and returns when the operator closed
    // it. Started is set first, so the re-activation after it does nothing.
    int showModal(QDialog &window);

    void done(int result) override;
    // What Cancel does: the operation stops and the window closes, its closing sequence first.
    void cancelAndClose();

    // Titles of the read and write error windows (the non-ISO windows have their own).
    void setErrorTitles(const QString &read, const QString &write);
    QString readErrorTitle() const { return readErrorTitle_; }
    QString writeErrorTitle() const { return writeErrorTitle_; }

    // Operator: the main window's records and the message windows.
    void showOutput(const Iso::Tracks &tracks, Counts counts) override;
    void showInput(const Iso::Tracks &tracks, Counts counts) override;
    void notice(Notice notice) override;
    void reportError(OperationError error) override;
    void stepAside(bool aside) override;

protected:
    // The job this window runs; set once by the subclass's constructor.
    void setJob(const Connection &connection, const Job &job);

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

    RecordView *records() const { return records_; }
    // Windows that write cards keep the input record (what they write) in sight; the others
    // the output record (what they read).
    enum class RecordInUse { Output, Input };
    void setRecordInUse(RecordInUse record) { recordInUse_ = record; }
    // The line that says "Closing…" while the closing sequence runs; none by default.
    virtual QLabel *statusLine() const { return nullptr; }

    bool Started = false;
    QPushButton *Command1 = nullptr; // "Cancel"

private:
    void startOnce();
    void placeBesideRecords();
    void reportPortLost();
    void showRecord(int firstBox, const Iso::Tracks &tracks, Counts counts);

    RecordView *records_;
    std::unique_ptr<Session> session_;
    RunSummary summary_;
    QString readErrorTitle_;
    QString writeErrorTitle_;
    bool closed_ = false;
    bool closing_ = false; // the closing sequence is running
    bool portLostShown_ = false;
    bool placed_ = false;
    RecordInUse recordInUse_ = RecordInUse::Output;
};
