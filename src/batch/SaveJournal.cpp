#include "batch/SaveJournal.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace EncodeDataFile;

namespace {

const QByteArray kChosenLine = QByteArrayLiteral("# save to ");

// The journals' folder, made if need be and the user's alone.
bool privateFolder(const QString &folder, QString &problem)
{
    if (!QDir().mkpath(folder)) {
        problem = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        ok = ::fchmod(fd, S_IRWXU) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        problem = QStringLiteral("the folder %1 is not the user's own").arg(QDir::toNativeSeparators(folder));
    return ok;
}

} // namespace

QString SaveJournal::defaultFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation); }

SaveJournal::SaveJournal(QString chosenPath, ProblemReport report, QString folder)
    : chosenPath_(std::move(chosenPath)), report_(std::move(report)), folder_(std::move(folder))
{
}

SaveJournal::~SaveJournal() = default;

bool SaveJournal::start()
{
    QString problem;
    if (!privateFolder(folder_, problem))
        return fail(1, problem);
    // Made (O_EXCL, 0600) and locked under a name no other program looks at, then given its
    // journal name: a journal that can be seen is either held or dead.
    QByteArray made = QFile::encodeName(QDir(folder_).filePath(QStringLiteral(".save-journal-XXXXXX")));
    const int fd = ::mkostemp(made.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(1, QString::fromLocal8Bit(std::strerror(errno)));
    OwnerOnlyFile::Descriptor held(fd);
    const QByteArray name = QFile::encodeName(QDir(folder_).filePath(
        QStringLiteral("save-journal-%1.txt").arg(QFile::decodeName(made.right(6)))));
    const bool named = ::flock(fd, LOCK_EX) == 0 && ::link(made.constData(), name.constData()) == 0;
    const int error = errno;
    ::unlink(made.constData());
    if (!named)
        return fail(1, QString::fromLocal8Bit(std::strerror(error)));
    path_ = QFile::decodeName(name);
    writer_.adopt(std::move(held), path_);
    if (!chosenPath_.isEmpty()
        && !writer_.addLine(kChosenLine + QUrl::toPercentEncoding(QFile::encodeName(chosenPath_), "/") + "\r\n"))
        return fail(1, writer_.problem());
    return true;
}

bool SaveJournal::append(int card, const Record &record)
{
    if (failed_)
        return false;
    if (!writer_.isOpen() && !start())
        return false;
    if (!writer_.add(record))
        return fail(card, writer_.problem());
    return true;
}

bool SaveJournal::fail(int card, const QString &problem)
{
    failed_ = true;
    if (report_)
        report_(card, problem);
    return false;
}

void SaveJournal::finish()
{
    // Removed while still held, so whoever waits for it finds it gone.
    if (!path_.isEmpty())
        ::unlink(QFile::encodeName(path_).constData());
    path_.clear();
    writer_.close();
}

std::vector<SaveJournal::Kept> SaveJournal::leftovers(const QString &folder)
{
    std::vector<Kept> found;
    const QStringList names = QDir(folder).entryList({QStringLiteral("save-journal*.txt")}, QDir::Files | QDir::System,
                                                     QDir::Time | QDir::Reversed);
    for (const QString &name : names) {
        const QString path = QDir(folder).filePath(name);
        OwnerOnlyFile::Opened file = OwnerOnlyFile::openToAppend(path);
        if (!file.ok() || ::flock(file.fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue; // not ours to take, or its run lives
        struct stat st {};
        // Gone meanwhile: taken and let go by another program.
        if (::fstat(file.fd.get(), &st) != 0 || st.st_nlink == 0)
            continue;
        QByteArray content;
        QString problem;
        if (!OwnerOnlyFile::readAll(file.fd.get(), content, problem))
            continue;
        QString chosen;
        if (content.startsWith(kChosenLine)) {
            const qsizetype end = content.indexOf('\n');
            chosen = QFile::decodeName(QByteArray::fromPercentEncoding(
                content.mid(kChosenLine.size(), end - kChosenLine.size()).trimmed()));
            content.remove(0, end < 0 ? content.size() : end + 1);
        }
        content.truncate(content.lastIndexOf('\n') + 1); // a record is whole once its line ended
        Kept kept;
        kept.journal = std::make_unique<SaveJournal>(chosen, ProblemReport(), folder);
        kept.journal->path_ = path;
        kept.journal->writer_.adopt(std::move(file.fd), path);
        RecordTaker taker(content);
        Record record;
        for (RecordTaker::Status s; (s = taker.take(record)) != RecordTaker::Status::End;)
            if (s == RecordTaker::Status::Taken)
                kept.records.append(record); // refuses what a saved file could not hold
        found.push_back(std::move(kept));
    }
    return found;
}
