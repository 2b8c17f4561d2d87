#include "operation/RecordWriter.h"

#include <fcntl.h>
#include <unistd.h>

using namespace OwnerOnlyFile;

RecordWriter::Opened RecordWriter::refuse(Opened status, const QString &why)
{
    fd_.reset();
    problem_ = QStringLiteral("%1: %2").arg(path_, why);
    return status;
}

RecordWriter::Opened RecordWriter::open(const QString &path, bool append)
{
    path_ = path;
    size_ = 0;
    OwnerOnlyFile::Opened o = createNew(path);
    if (o.ok()) {
        fd_ = std::move(o.fd);
        return Opened::Ok;
    }
    if (o.fault == Fault::Exists)
        o = append ? openToAppend(path) : describeExisting(path);
    switch (o.fault) {
    case Fault::None:
        break;
    case Fault::Exists:
        return refuse(Opened::Exists, QStringLiteral("Exists (--append adds to it)."));
    case Fault::Missing:
    case Fault::Denied:
    case Fault::Failed:
        return refuse(Opened::Failed, o.problem);
    default:
        return refuse(Opened::Refused, o.problem);
    }
    fd_ = std::move(o.fd);
    QByteArray content;
    QString why;
    if (!readAll(fd_.get(), content, why))
        return refuse(Opened::Refused, why);
    size_ = content.size();
    if (!content.isEmpty()) {
        const EncodeDataFile::Check check = EncodeDataFile::check(content);
        if (!check.ok)
            return refuse(Opened::Refused, QStringLiteral("No encode data file: %1").arg(check.problem));
        if (!content.endsWith('\n') && !addLine("\r\n")) {
            fd_.reset();
            return Opened::Failed;
        }
    }
    return Opened::Ok;
}

void RecordWriter::adopt(Descriptor fd, const QString &path)
{
    fd_ = std::move(fd);
    path_ = path;
    size_ = ::lseek(fd_.get(), 0, SEEK_END);
}

bool RecordWriter::addLine(QByteArrayView line)
{
    if (!fd_.isOpen())
        return false;
    QString why;
    if (writeAll(fd_.get(), line, why) && sync(fd_.get(), why)) {
        size_ += line.size();
        return true;
    }
    // Whatever part of the line went down is taken back: the file ends on a whole record.
    if (::ftruncate(fd_.get(), size_) == 0)
        ::fdatasync(fd_.get());
    problem_ = QStringLiteral("%1: %2").arg(path_, why);
    return false;
}
