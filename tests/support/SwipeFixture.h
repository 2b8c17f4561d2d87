#pragma once
// Scaffolding for tests that drive a swipe window end to end: virtual time, the simulated
// encoder on the far end of every link, the shared settings, a stand-in for the main window's
// records, and a scripted operator (swipes, button clicks, closing, answers to message windows).
//
//   SwipeFixture f(DialectId::Vnt290b);
//   cfrmReadCard w(f.connection, &f.records, &f.records);
//   f.swipeAt(1.2);
//   f.clickAt(3.0, &w);            // Cancel
//   f.run(w);
//   QCOMPARE(f.writes(), (QList<QByteArray>{...}));
#include "card/TrackBlock.h"
#include "device/Connection.h"
#include "device/Pacer.h"
#include "sim/Simulator.h"
#include "ui/common/RecordView.h"

#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

// The main window as the operation windows see it, with every change noted in virtual time.
class RecordStub : public QWidget, public RecordView {
public:
    struct Change {
        double time;
        int box;       // 0..5 for tracks, -1 for the message box
        QString what;  // "text", "count" or "message"
        QString value;
    };

    Pacer *clock = nullptr; // the times of the changes
    std::array<QByteArray, 6> texts;
    std::array<QString, 6> counts = {"0", "0", "0", "0", "0", "0"};
    QString msg;
    QList<Change> changes;

    QByteArray trackText(int box) const override { return texts[size_t(box)]; }
    void setTrackText(int box, const QByteArray &text) override;
    void setCount(int box, const QString &count) override;
    QString message() const override { return msg; }
    void setMessage(const QString &text) override;

    // The input record, as if typed.
    void setInput(const QByteArray &t1, const QByteArray &t2, const QByteArray &t3);
    Iso::Tracks inputTracks() const { return {texts[0], texts[1], texts[2]}; }
    // Output tracks 1..3 and their counts.
    QList<QByteArray> output() const { return {texts[3], texts[4], texts[5]}; }
    QStringList outputCounts() const { return {counts[3], counts[4], counts[5]}; }
    // Every message box text set, in order.
    QStringList messages() const;
};

class SwipeFixture : public QObject {
    Q_OBJECT
public:

    // A message window (or message box) the operator saw and answered.
    struct Shown {
        double time;
        QString className;
        QString title;
        QString text;
        int receivedBefore;  // how many writes the encoder had received when it appeared
    };

    explicit SwipeFixture(DialectId dialect, double start = 0.0);
    ~SwipeFixture() override;

    VirtualPacer vp;
    Simulator sim{vp};
    // Port 1 at 9600,n,8,1 in the fixture's dialect, linked to the simulator, on virtual time.
    Connection connection;
    RecordStub records;
    // The line, as a settings string ("2400,n,8,1").
    void setLine(const QString &settings);

    static QByteArray hex(const char *text);

    // ---- The operator -----------------------------------------------------------------------
    void at(double t, std::function<void()> action) { vp.at(t, std::move(action)); }
    void swipeAt(double t);
    // Clicks the push button named `button` of `window` at t.
    void clickAt(double t, QWidget *window, const QString &button = QStringLiteral("Command1"));
    void closeAt(double t, QWidget *window);   // the close box
    void escapeAt(double t, QWidget *window);  // the Escape key
    // How the next message windows are answered (default: their only button, i.e. OK).
    void setAnswer(std::function<void(QDialog *)> answer) { answer_ = std::move(answer); }

    // Runs the window modal, as the main window does; returns when it has closed. A window
    // still open after `deadline` virtual seconds is closed and `timedOut` set.
    int run(QDialog &window, double deadline = 600.0);
    bool timedOut = false;

    // ---- What happened ----------------------------------------------------------------------
    QList<Shown> shown;
    QList<QByteArray> writes() const;                 // every write the encoder received, in order
    QList<double> writeTimes() const;
    QByteArray receivedBytes() const { return sim.receivedBytes(); }
    // After a run that lost its port: the window closed in time after one "Communications
    // Error". Check QTest::currentTestFailed().
    void verifyPortFailureReport(const QWidget &window, double endsBefore) const;
    // "0.300 1B 84" lines, for failure messages.
    QString timeline() const;
    // When a swipe window last went out of sight, and when a window was next shown after it
    // (-1: not yet), in virtual time.
    double hiddenAt = -1.0;
    double nextShownAt = -1.0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void lookForDialogs();

    QTimer watch_;
    QList<QWidget *> answered_;
    std::function<void(QDialog *)> answer_;
};
