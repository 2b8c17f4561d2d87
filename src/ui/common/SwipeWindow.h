#pragma once
// Base of every window that talks to the encoder. It owns the window's Device (its port),
// runs the operation once, queued after the window is first shown (Started absorbs the
// activations that follow message windows), and runs the closing sequence exactly once however
// the window is closed (Cancel, Escape, close box), even while the operation is still waiting.
#include "device/Device.h"

#include <QDialog>
#include <memory>

class QPushButton;
class RecordView;

class SwipeWindow : public QDialog {
    Q_OBJECT
public:
    SwipeWindow(WindowKind kind, RecordView *records, QWidget *parent = nullptr);
    ~SwipeWindow() override;

    Device &device() { return *device_; }
    bool started() const { return Started; }
    bool operationRunning() const { return running_; }

    // Shows a modal message window over this one and returns when the operator closed it.
    // Started is set first, so the re-activation after it does nothing.
    int showModal(QDialog &window);

    void done(int result) override;

protected:
    // The start sequence and the loop of the window; runs once.
    virtual void runOperation() = 0;
    // Hook for windows that must do more on unload before the closing sequence.
    virtual void beforeClosing() {}

    // Opens the port; on failure the window reports a communication failure and closes.
    bool openPort();

    // Runs the start sequence of this window's kind. A refused start shows the read error
    // window (framed by the error indication when the encoder would not arm, after disarming
    // it first where `disarmFirst`); false when the window must close, which it then does with
    // nothing more sent but its closing sequence.
    bool runStartSequence(bool disarmFirst);

    // Shows `window` framed by the encoder's error indication.
    void showIndicatedError(QDialog &window, Device::IndicatorOptions options = {});

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

    RecordView *records() const { return records_; }

    bool Started = false;
    QPushButton *Command1 = nullptr; // "Cancel"

private:
    void startOnce();
    void reportPortLost();

    WindowKind kind_;
    RecordView *records_;
    std::unique_ptr<Device> device_;
    bool running_ = false;
    bool closed_ = false;
    bool portLost_ = false;
    bool portLostShown_ = false;
};
