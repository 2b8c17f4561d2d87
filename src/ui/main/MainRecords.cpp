#include "ui/main/MainRecords.h"

void MainRecords::setTrack(int box, const QByteArray &text)
{
    if (!valid(box) || tracks_[size_t(box)] == text)
        return;
    tracks_[size_t(box)] = text;
    emit trackChanged(box);
}

void MainRecords::setCount(int box, const QString &count)
{
    if (!valid(box) || counts_[size_t(box)] == count)
        return;
    counts_[size_t(box)] = count;
    emit countChanged(box);
}

void MainRecords::setMessage(const QString &text)
{
    if (message_ == text)
        return;
    message_ = text;
    emit messageChanged();
}

void MainRecords::clear(int first)
{
    for (int box = first; box < first + 3; ++box) {
        setTrack(box, {});
        setCount(box, QStringLiteral("0"));
    }
}
