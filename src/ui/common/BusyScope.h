#pragma once
// A busy cursor and a short status text for a wait the operator cannot cut short. Nothing is
// served and nothing waits longer: the text is painted at once and the cursor set, and both go
// back when the scope ends.
#include <QPointer>
#include <QString>

class QLabel;

class BusyScope {
public:
    BusyScope(QLabel *status, const QString &text);
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    QPointer<QLabel> status_;
    QString oldText_;
    bool wasHidden_ = false;
};
