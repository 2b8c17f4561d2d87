#pragma once
// What the operation windows see of the main window: the input and output records
// (boxes 0..2 input tracks 1..3, 3..5 output tracks 1..3), their counts and the message box.
#include <QByteArray>
#include <QRect>
#include <QString>

class RecordView {
public:
    virtual ~RecordView() = default;
    virtual QByteArray trackText(int box) const = 0;
    virtual void setTrackText(int box, const QByteArray &text) = 0;
    virtual void setCount(int box, const QString &count) = 0;
    virtual QString message() const = 0;
    virtual void setMessage(const QString &text) = 0;
    // Where the records are on screen (global coordinates); empty when not shown. The swipe
    // windows keep clear of the output record.
    virtual QRect inputRecordArea() const { return {}; }
    virtual QRect outputRecordArea() const { return {}; }
};
