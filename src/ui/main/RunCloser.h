#pragma once
// The main window's close box during a run: every operation is cancelled, then the windows over
// the main window are answered one at a time, top first, each as its Cancel would answer it (an
// operation's window closes with its closing sequence on the wire), each once the one above it
// has gone: an operation's window under an error window closes only after the operation has
// left that report.
#include <QObject>

class QWidget;

class RunCloser : public QObject {
public:
    explicit RunCloser(QWidget &main);
    // Once; later calls do nothing.
    void start();
    bool started() const { return started_; }

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void answerTop();

    QWidget &main_;
    bool started_ = false;
};
