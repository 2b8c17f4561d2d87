#pragma once
// Base of every window that talks to the encoder. It owns the window's wait flags and its
// Device (its port), runs the operation once, queued after the window is first shown (Started
// absorbs the activations that follow message windows), and runs the closing sequence of its
// profile exactly once however the window is closed (Cancel, Escape, close box), even while the
// operation is still waiting.
#include "device/Device.h"
#include "dialect/Dialect.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class RecordView;

// Where a swipe window goes, as outer top-left, from outer sizes and rectangles in screen
// coordinates: beside the main window where the screen has room (right, else left), otherwise
// over the input record (above the output record), so the output record stays in sight.
// `mainFrame` may take in the tool windows that stand beside the main window.
QPoint placePrompt(const QSize &prompt, const QRect &mainFrame, const QRect &inputRecord,
                   const QRect &outputRecord, const QRect &screen);
// Outer top-left that centres a window of outer size `size` on `over`, kept on `screen`.
QPoint centreOn(const QSize &size, const QRect &over, const QRect &screen);

class SwipeWindow : public QDialog {
    Q_OBJECT
public:
    SwipeWindow(const WindowProfile &profile, RecordView *records, QWidget *parent = nullptr);
    ~SwipeWindow() override;

    Device &device() { return *device_; }
    const Dialect &dialect() const { return dialect_; }
    CancelToken &token() { return token_; }
    bool cancelled() const { return token_.CancelRequested; }
    bool started() const { return Started; }
    bool operationRunning() const { return running_; }

    // Shows a modal message window centred on this one and returns when the operator closed
    // it. Started is set first, so the re-activation after it does nothing.
    int showModal(QDialog &window);

    void done(int result) override;

    // Titles of the read and write error windows (the non-ISO windows have their own).
    void setErrorTitles(const QString &read, const QString &write);
    QString readErrorTitle() const { return readErrorTitle_; }
    QString writeErrorTitle() const { return writeErrorTitle_; }

protected:
    // The start sequence and the loop of the window; runs once.
    virtual void runOperation() = 0;
    // Hook for windows that must do more on unload before the closing sequence.
    virtual void beforeClosing() {}
    // Shown when the encoder answered Attention with something else at the start; the read
    // error window unless the window reports it otherwise.
    virtual void reportRejectedAttention();

    // Opens the port; on failure the window reports a communication failure and closes.
    bool openPort();

    // Runs the start sequence of this window's profile. A refused start shows the read error
    // window (framed by the error indication when the encoder would not arm, after disarming
    // it first where the profile says so); false when the window must close, which it then does
    // with nothing more sent but its closing sequence.
    bool runStartSequence();

    // Shows `window` framed by the encoder's error indication.
    void showIndicatedError(QDialog &window, const IndicatorOptions &options = {});



    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

    RecordView *records() const { return records_; }
    // The line that says "Closing…" while the closing sequence runs; none by default.
    virtual QLabel *statusLine() const { return nullptr; }

    bool Started = false;
    QPushButton *Command1 = nullptr; // "Cancel"

private:
    void startOnce();
    void placeBesideRecords();
    void reportPortLost();

    WindowProfile profile_;
    RecordView *records_;
    const Dialect &dialect_;
    CancelToken token_;
    std::unique_ptr<Device> device_;
    QString readErrorTitle_;
    QString writeErrorTitle_;
    bool running_ = false;
    bool closed_ = false;
    bool closing_ = false; // the closing sequence is running
    bool portLost_ = false;
    bool portLostShown_ = false;
    bool placed_ = false;
};
