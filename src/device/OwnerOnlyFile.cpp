#include "device/OwnerOnlyFile.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

namespace OwnerOnlyFile {

QFileDevice::Permissions permissions() { return QFileDevice::ReadOwner | QFileDevice::WriteOwner; }

bool create(QFile &file, const QString &path, QIODevice::OpenMode extra)
{
    file.setFileName(path);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir())
        return file.open(QIODevice::WriteOnly | extra);
    if (info.isFile() || info.isSymLink())
        QFile::remove(path); // a failure shows as the NewOnly open failing below
    // NewOnly: O_EXCL, so the mode given here is the mode the file is born with.
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly | extra, permissions());
}

bool saveWhole(const QString &path, const QByteArray &content, QString &problem)
{
    // QSaveFile creates its temporary file readable by others (0666 less the umask) unless the
    // target exists; then it starts owner-only and copies the target's mode. So a new target
    // is made first, empty and owner-only, and taken away again if the save fails.
    bool placed = false;
    if (!QFileInfo::exists(path)) {
        QFile placeholder(path);
        if (!placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions())) {
            problem = placeholder.errorString();
            return false;
        }
        placeholder.close();
        placed = true;
    }
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
    if (!ok) {
        problem = file.errorString();
        file.cancelWriting(); // still open after a short write: nothing is put in place
        if (placed)
            QFile::remove(path);
    }
    return ok;
}

bool syncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    if (::fsync(file.handle()) == 0)
        return true;
    return errno == EINVAL || errno == ENOTSUP;
#endif
}

} // namespace OwnerOnlyFile
