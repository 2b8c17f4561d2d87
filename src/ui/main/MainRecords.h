#pragma once
// The main window's records as values: the input record (typed, or from a source card or a file;
// what the write chain writes), the output record (what the last card held), each track's count
// and the message box. The main window shows it and turns typing into it; the operation windows
// write into it through the window; boxes 0..2 are input tracks 1..3, boxes 3..5 output tracks.
#include "card/TrackBlock.h"

#include <QObject>
#include <QString>
#include <array>

class MainRecords : public QObject {
    Q_OBJECT
public:
    static constexpr int kBoxes = 6;

    QByteArray track(int box) const { return valid(box) ? tracks_[size_t(box)] : QByteArray(); }
    void setTrack(int box, const QByteArray &text);
    QString count(int box) const { return valid(box) ? counts_[size_t(box)] : QString(); }
    void setCount(int box, const QString &count);
    QString message() const { return message_; }
    void setMessage(const QString &text);

    // The input record's three tracks, as they stand.
    Iso::Tracks input() const { return {tracks_[0], tracks_[1], tracks_[2]}; }
    bool inputEmpty() const { return tracks_[0].isEmpty() && tracks_[1].isEmpty() && tracks_[2].isEmpty(); }
    // Texts empty, counts "0".
    void clearInput() { clear(0); }
    void clearOutput() { clear(3); }

signals:
    void trackChanged(int box);
    void countChanged(int box);
    void messageChanged();

private:
    static bool valid(int box) { return box >= 0 && box < kBoxes; }
    void clear(int first);

    std::array<QByteArray, kBoxes> tracks_;
    std::array<QString, kBoxes> counts_{"0", "0", "0", "0", "0", "0"};
    QString message_;
};
