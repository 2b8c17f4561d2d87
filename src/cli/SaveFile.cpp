#include "cli/SaveFile.h"

#include "operation/EncodeDataFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// A new name in a folder lasts only once the folder itself is on the disk.
void syncFolderOf(const QString &path)
{
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    ::fsync(dir);
    ::close(dir);
}
} // namespace

SaveFile::~SaveFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

SaveFile::Opened SaveFile::open(const QString &path, bool append)
{
    path_ = path;
    const QByteArray name = QFile::encodeName(path);
    fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        syncFolderOf(path);
        return Opened::Ok;
    }
    if (errno != EEXIST) {
        problem_ = QStringLiteral("%1 cannot be created: %2").arg(path, systemError());
        return Opened::Failed;
    }
    if (!append) {
        problem_ = QStringLiteral("%1 exists (--append adds to it)").arg(path);
        return Opened::Exists;
    }
    if (QFileInfo(path).isDir()) {
        problem_ = QStringLiteral("%1 is a folder").arg(path);
        return Opened::Failed;
    }
    QFile existing(path);
    if (!existing.open(QIODevice::ReadOnly)) {
        problem_ = QStringLiteral("%1 cannot be read: %2").arg(path, existing.errorString());
        return Opened::Failed;
    }
    const QByteArray content = existing.readAll();
    existing.close();
    if (!content.isEmpty()) {
        const EncodeDataFile::Check check = EncodeDataFile::check(content);
        if (!check.ok) {
            problem_ = QStringLiteral("%1 is no encode data file: %2").arg(path, check.problem);
            return Opened::Refused;
        }
    }
    fd_ = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) {
        problem_ = QStringLiteral("%1 cannot be written: %2").arg(path, systemError());
        return Opened::Failed;
    }
    // A last record without its line end gets one, so the next record is not joined to it.
    if (!content.isEmpty() && !content.endsWith('\n') && !writeAll("\r\n"))
        return Opened::Failed;
    return Opened::Ok;
}

bool SaveFile::writeAll(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            problem_ = QStringLiteral("%1 cannot be written: %2").arg(path_, systemError());
            return false;
        }
        done += n;
    }
    if (::fsync(fd_) != 0) {
        problem_ = QStringLiteral("%1 cannot be written: %2").arg(path_, systemError());
        return false;
    }
    return true;
}

bool SaveFile::add(const Iso::Tracks &tracks)
{
    if (fd_ < 0)
        return false;
    if (!writeAll(EncodeDataFile::recordLine(EncodeDataFile::Record{tracks})))
        return false;
    ++added_;
    return true;
}
