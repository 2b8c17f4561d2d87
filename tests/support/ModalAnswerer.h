#pragma once
// Answers the modal dialogs a test provokes: whenever the event loop turns (inside a dialog's
// exec(), too) it looks for the active modal widget, records what it showed and answers it.
// Message boxes get the button the test asked for (by default OK, else their default button);
// other dialogs their only push button, else reject(), unless a handler says otherwise.
#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>

class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    struct Seen {
        QString className; // "QMessageBox", or the dialog's class
        QString title;
        QString text;      // a message box's text; else the texts of the dialog's labels, one a line
        QString kind;      // "information", "warning", "critical", "question", "none"; "dialog"
        QString pressed;   // text of the button pressed, or "accept"/"reject"/"handler"
    };
    using Handler = std::function<void(QWidget *dialog)>;

    explicit ModalAnswerer(QObject *parent = nullptr); // watches from now on
    ~ModalAnswerer() override;

    // The button for every message box from now on (when the box has it).
    void setButton(QMessageBox::StandardButton button) { button_ = button; }
    // The button for the next message box only; queued answers are used in order.
    void queueButton(QMessageBox::StandardButton button);
    // How to answer the next dialog of any kind (message boxes included).
    void queueHandler(Handler handler);
    // How to answer dialogs that are not message boxes and have no queued answer.
    void setDialogHandler(Handler handler) { dialogHandler_ = std::move(handler); }
    // Leaves dialogs of this class (or inheriting it, e.g. "SwipeWindow") to the test; a
    // dialog opened over one of them is answered as usual.
    void ignore(const char *className) { ignored_.append(QByteArray(className)); }

    const QList<Seen> &seen() const { return seen_; }
    int count() const { return int(seen_.size()); }
    Seen last() const { return seen_.isEmpty() ? Seen{} : seen_.last(); }
    void clear() { seen_.clear(); }
    void stop() { timer_.stop(); }
    void start() { timer_.start(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void poll();
    void answer(QWidget *dialog);
    static QString kindOf(const QMessageBox *box);
    static QString labelTexts(const QWidget *dialog);

    QTimer timer_;
    QMessageBox::StandardButton button_ = QMessageBox::Ok;
    struct Queued {
        QMessageBox::StandardButton button = QMessageBox::NoButton;
        Handler handler;
    };
    QList<Queued> queue_;
    Handler dialogHandler_;
    QList<Seen> seen_;
    QSet<QWidget *> answered_; // shown and answered, not yet hidden
    QList<QByteArray> ignored_;
};
