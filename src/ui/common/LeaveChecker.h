#pragma once
// The check a window runs when the operator leaves one of its entry boxes. The focus-out only
// notes the box; the check itself runs once the focus change has finished (or first thing in
// a button click that follows, through runPending), so that a press under way is not left
// half done. Focus moves caused by our own messages and focus-backs are not leaves.
#include <QKeyEvent>
#include <QString>
#include <QWidget>

#include <functional>

class QFocusEvent;

// Ctrl and Ctrl+Shift combinations are commands (paste, undo), never typed text; Ctrl+Alt stays
// text (AltGr on some keyboards). The typing filters pass them on unchecked.
inline bool isCommandKey(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier);
}

// Sets a flag for the length of a scope and puts back what it was.
class FlagScope {
public:
    explicit FlagScope(bool &flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &flag_;
    bool old_;
};

class LeaveChecker {
public:
    struct Options {
        bool onlyWhileVisible = true;   // a hidden window runs no check
        bool handBackActivation = true; // re-activate the window after a message
    };
    // check(box) is the window's own check; false when the box failed and took the focus back.
    LeaveChecker(QWidget *window, std::function<bool(int)> check, Options options);
    LeaveChecker(QWidget *window, std::function<bool(int)> check)
        : LeaveChecker(window, std::move(check), Options{})
    {}

    // For a FocusOut of box: true when it is a leave (another control of this window took the
    // focus), which queues the check.
    bool focusOut(int box, const QFocusEvent *event);
    // Runs a check still due; false when it failed.
    bool runPending();
    void clearPending() { pending_ = -1; }

    void focusBack(QWidget *box);
    void showInformation(const QString &title, const QString &text);

private:
    QWidget *window_;
    std::function<bool(int)> check_;
    Options options_;
    int pending_ = -1;          // box whose check is due
    bool messageShown_ = false; // a message is up: focus changes are not leaves
    bool focusingBack_ = false; // our own focus move is not a leave either
};
