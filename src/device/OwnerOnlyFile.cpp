#include "device/OwnerOnlyFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OwnerOnlyFile {

namespace {

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.'); }

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a file");
}

QString tooLarge() { return QStringLiteral("Too large: more than 256 MiB, the most a data file may hold."); }

Opened refused(Fault fault, const QString &problem)
{
    Opened o;
    o.fault = fault;
    o.problem = problem;
    return o;
}

Opened notRegular(mode_t mode) { return refused(Fault::NotRegular, QStringLiteral("Not a regular file: %1.").arg(kindOf(mode))); }

// The open's errno as a refusal.
Opened openFailed(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return refused(Fault::Missing, QStringLiteral("No such file."));
    case EEXIST:
        return refused(Fault::Exists, QStringLiteral("Exists."));
    case EACCES:
    case EPERM:
        return refused(Fault::Denied, QStringLiteral("Permission denied."));
    case ELOOP:
        return refused(Fault::Link, QStringLiteral("A symbolic link: name the file itself."));
    case EISDIR:
        return notRegular(S_IFDIR);
    case ENXIO: // a FIFO with no reader, or a device that is not there
        return refused(Fault::NotRegular, QStringLiteral("Not a regular file: a FIFO, a socket or a device."));
    default:
        return refused(Fault::Failed, systemText(error));
    }
}

Opened openWith(const QString &path, int flags, mode_t mode = 0)
{
    // O_NONBLOCK: a FIFO or a device never holds the program at its open.
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0)
        return openFailed(errno);
    Opened o;
    o.fd = Descriptor(fd);
    return o;
}

void blocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); }

// A new name in a folder lasts only once the folder itself is on the disk.
void syncFolderOf(const QString &path)
{
    const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    ::fsync(dir);
    ::close(dir);
}

// The rules for a file of card data that exists: a regular file of this user's.
Opened ownRegular(Opened o, struct stat &st)
{
    if (::fstat(o.fd.get(), &st) != 0)
        return refused(Fault::Failed, systemText(errno));
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    if (st.st_uid != ::geteuid())
        return refused(Fault::OtherOwner, QStringLiteral("Owned by another user."));
    blocking(o.fd.get());
    return o;
}

} // namespace

Descriptor &Descriptor::operator=(Descriptor &&other) noexcept
{
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int Descriptor::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Descriptor::reset()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Opened createNew(const QString &path)
{
    // O_EXCL: made here and now, with this mode; a link at the path is never followed.
    Opened o = openWith(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (!o.ok())
        return o;
    blocking(o.fd.get());
    syncFolderOf(path);
    return o;
}

Opened openToAppend(const QString &path)
{
    Opened o = openWith(path, O_RDWR | O_APPEND | O_NOFOLLOW);
    if (!o.ok())
        return o;
    struct stat st {};
    o = ownRegular(std::move(o), st);
    if (!o.ok())
        return o;
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return refused(Fault::NotPrivate,
                       QStringLiteral("Other users can read or write it: make it private first (chmod 600 '%1').").arg(path));
    if (st.st_size > kReadLimit)
        return refused(Fault::TooLarge, tooLarge());
    return o;
}

Opened openToRead(const QString &path)
{
    Opened o = openWith(path, O_RDONLY);
    if (!o.ok())
        return o;
    struct stat st {};
    if (::fstat(o.fd.get(), &st) != 0)
        return refused(Fault::Failed, systemText(errno));
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    if (st.st_size > kReadLimit)
        return refused(Fault::TooLarge, tooLarge());
    blocking(o.fd.get());
    return o;
}

Opened describeExisting(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return openFailed(errno);
    if (S_ISLNK(st.st_mode))
        return openFailed(ELOOP);
    if (!S_ISREG(st.st_mode))
        return notRegular(st.st_mode);
    return openFailed(EEXIST);
}

bool writeAll(int fd, QByteArrayView bytes, QString &problem)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            problem = systemText(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += n;
    }
    return true;
}

bool readAll(int fd, QByteArray &content, QString &problem)
{
    content.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = systemText(errno);
            return false;
        }
        if (n == 0)
            return true;
        if (content.size() + n > kReadLimit) { // it grew since it was opened
            problem = tooLarge();
            return false;
        }
        content.append(chunk, n);
    }
}

bool sync(int fd, QString &problem)
{
    if (::fdatasync(fd) == 0)
        return true;
    problem = systemText(errno);
    return false;
}

Opened saveWhole(const QString &path, const QByteArray &content, bool replace)
{
    Opened created = createNew(path);
    if (created.ok()) {
        QString problem;
        if (writeAll(created.fd.get(), content, problem) && sync(created.fd.get(), problem))
            return created;
        ::unlink(QFile::encodeName(path).constData()); // made here: nothing of the operator's is lost
        return refused(Fault::Failed, problem);
    }
    if (created.fault != Fault::Exists)
        return created;
    // Only the user's own regular file is replaced, and only by a whole copy: QSaveFile writes
    // beside it and renames over it (the rename replaces the name, never what a link points to).
    Opened existing = openWith(path, O_RDONLY | O_NOFOLLOW);
    if (existing.fault == Fault::Denied || existing.fault == Fault::Link || existing.fault == Fault::NotRegular)
        return existing;
    if (existing.ok()) {
        struct stat st {};
        existing = ownRegular(std::move(existing), st);
        if (!existing.ok())
            return existing;
    }
    if (!replace)
        return created; // Exists
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && ::fchmod(file.handle(), S_IRUSR | S_IWUSR) == 0
        && file.write(content) == content.size() && file.commit();
    if (!ok) {
        const QString problem = file.errorString();
        file.cancelWriting(); // still open after a short write: nothing is put in place
        return refused(Fault::Failed, problem);
    }
    return {};
}

} // namespace OwnerOnlyFile
