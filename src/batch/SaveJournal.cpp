#include "batch/SaveJournal.h"

#include "device/OwnerOnlyFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace EncodeDataFile;

QString SaveJournal::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("save-journal.txt"));
}

SaveJournal::SaveJournal(ProblemReport report, QString path) : path_(std::move(path)), report_(std::move(report)) {}

bool SaveJournal::start()
{
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder)));
    if (!OwnerOnlyFile::create(file_, path_, QIODevice::Unbuffered))
        return fail(file_.errorString());
    return true;
}

bool SaveJournal::append(const Record &record)
{
    if (failed_)
        return false;
    if (!file_.isOpen() && !start())
        return false;
    const QByteArray line = recordLine(record);
    if (file_.write(line) != line.size() || !OwnerOnlyFile::syncToDisk(file_))
        return fail(file_.errorString());
    return true;
}

bool SaveJournal::fail(const QString &problem)
{
    failed_ = true;
    file_.close();
    if (report_)
        report_(problem);
    return false;
}

void SaveJournal::finish(const QString &path) { QFile::remove(path); }

SaveCollection SaveJournal::leftover(const QString &path)
{
    SaveCollection kept;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kept;
    QByteArray content = file.readAll();
    content.truncate(content.lastIndexOf('\n') + 1); // a record is whole once its line ended
    RecordTaker taker(content);
    Record record;
    for (RecordTaker::Status s; (s = taker.take(record)) != RecordTaker::Status::End;)
        if (s == RecordTaker::Status::Taken)
            kept.append(record); // refuses what a saved file could not hold
    return kept;
}
