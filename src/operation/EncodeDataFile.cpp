#include "operation/EncodeDataFile.h"

#include "card/Validators.h"
#include "device/OwnerOnlyFile.h"

#include <QDate>

namespace EncodeDataFile {

namespace {

const char Separator = '|';
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

QString trackName(int index) { return QStringLiteral("track %1").arg(index + 1); }

// Splits a line at its separators; the count of "|" found (the fields are set only for two).
int splitLine(QByteArrayView line, std::array<QByteArrayView, 3> &fields)
{
    const qsizetype first = line.indexOf(Separator);
    if (first < 0)
        return 0;
    const qsizetype second = line.indexOf(Separator, first + 1);
    if (second < 0)
        return 1;
    const qsizetype more = line.indexOf(Separator, second + 1);
    if (more >= 0)
        return 2 + int(line.sliced(more).count(Separator));
    fields[0] = line.first(first);
    fields[1] = line.sliced(first + 1, second - first - 1);
    fields[2] = line.sliced(second + 1);
    return 2;
}

QString recordPrefix(int record, int line)
{
    if (record == line)
        return QStringLiteral("Record %1: ").arg(record);
    return QStringLiteral("Record %1 (line %2): ").arg(record).arg(line);
}

} // namespace

QString fieldProblem(int index, QByteArrayView field)
{
    if (field.isEmpty() || field == "+")
        return {};
    const QByteArray text = QByteArray::fromRawData(field.data(), field.size());
    const bool valid = index == 0 ? MainModule::IsValid7BitText(text) : MainModule::IsValid5BitText(text);
    if (!valid)
        return QStringLiteral("%1 holds a character that %1 cannot hold").arg(trackName(index));
    if (field.size() > MaxLength[index])
        return QStringLiteral("%1 holds %2 characters, more than the %3 that %1 can hold")
            .arg(trackName(index)).arg(field.size()).arg(MaxLength[index]);
    return {};
}

QByteArray recordLine(const Record &record)
{
    QByteArray line;
    line.reserve(record.track[0].size() + record.track[1].size() + record.track[2].size() + 4);
    line += record.track[0];
    line += Separator;
    line += record.track[1];
    line += Separator;
    line += record.track[2];
    line += LineEnd;
    return line;
}

// ---- Taking records -------------------------------------------------------------------------

RecordTaker::RecordTaker(QByteArray content) : content_(std::move(content)) {}

bool RecordTaker::nextLine(QByteArrayView &line)
{
    const QByteArrayView all(content_);
    while (pos_ < all.size()) {
        const qsizetype lf = all.indexOf('\n', pos_);
        const qsizetype end = lf < 0 ? all.size() : lf;
        QByteArrayView found = all.sliced(pos_, end - pos_);
        pos_ = lf < 0 ? all.size() : lf + 1;
        ++line_;
        if (lf >= 0 && found.endsWith('\r'))
            found.chop(1);
        if (!found.isEmpty()) {
            line = found;
            return true;
        }
    }
    return false;
}

RecordTaker::Status RecordTaker::take(Record &record)
{
    QByteArrayView line;
    if (!nextLine(line))
        return Status::End;
    ++records_;
    std::array<QByteArrayView, 3> fields;
    separators_ = splitLine(line, fields);
    if (separators_ != 2)
        return Status::Malformed;
    for (int i = 0; i < 3; ++i)
        record.track[i] = fields[i].toByteArray();
    return Status::Taken;
}

std::optional<Record> RecordTaker::next()
{
    Record record;
    if (take(record) != Status::Taken)
        return std::nullopt;
    return record;
}

bool RecordTaker::atEnd() const
{
    RecordTaker rest(*this); // shares the content
    QByteArrayView line;
    return !rest.nextLine(line);
}

// ---- The whole-file check -------------------------------------------------------------------

Check check(const QByteArray &content)
{
    Check result;
    RecordTaker taker(content);
    QByteArrayView line;
    // The same line walk as the taker's, on views, so that a large file costs no copies.
    while (taker.nextLine(line)) {
        const int number = ++result.records;
        std::array<QByteArrayView, 3> fields;
        const int separators = splitLine(line, fields);
        if (separators != 2) {
            result.problem = recordPrefix(number, taker.lineNumber())
                + QStringLiteral("%1 \"|\" where a record holds exactly two").arg(separators);
            return result;
        }
        for (int i = 0; i < 3; ++i) {
            const QString problem = fieldProblem(i, fields[i]);
            if (!problem.isEmpty()) {
                result.problem = recordPrefix(number, taker.lineNumber()) + problem;
                return result;
            }
        }
    }
    if (result.records == 0) {
        result.problem = QStringLiteral("The file holds no record.");
        return result;
    }
    result.ok = true;
    return result;
}

// ---- Reading and writing --------------------------------------------------------------------

Loaded ReadEncodeDataFile(const QString &path)
{
    Loaded loaded;
    // Only a regular file, opened without waiting: a FIFO or a device never holds the program.
    OwnerOnlyFile::Opened file = OwnerOnlyFile::openToRead(path);
    if (file.ok() && !OwnerOnlyFile::readAll(file.fd.get(), loaded.content, file.problem))
        file.fault = OwnerOnlyFile::Fault::Failed;
    if (!file.ok()) {
        loaded.fault = file.fault;
        loaded.problem = file.problem;
        loaded.content.clear();
    }
    return loaded;
}

WriteResult writeFile(const QString &path, const QByteArray &content, bool replace)
{
    WriteResult result;
    const OwnerOnlyFile::Opened written = OwnerOnlyFile::saveWhole(path, content, replace);
    if (written.ok())
        result.status = WriteStatus::Written;
    else if (written.fault == OwnerOnlyFile::Fault::Exists)
        result.status = WriteStatus::Exists;
    else
        result.problem = written.problem;
    return result;
}

// ---- Collecting -----------------------------------------------------------------------------

bool SaveCollection::append(const Record &record)
{
    for (int i = 0; i < 3; ++i)
        if (record.track[i] == "*" || !fieldProblem(i, record.track[i]).isEmpty())
            return false;
    text_ += recordLine(record);
    ++count_;
    return true;
}

QString proposedSaveName(const QDate &date, double secondsSinceMidnight)
{
    // The date as month/day/year whatever the locale, its digits less the first two; then the
    // first four digits of the whole seconds.
    const QString digits = date.toString(QStringLiteral("Mdyyyy"));
    return QStringLiteral("E") + digits.mid(2) + QString::number(qint64(secondsSinceMidnight)).left(4)
        + QStringLiteral(".txt");
}

} // namespace EncodeDataFile
