#include "cli/TracksFrom.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kLimit = 64 * 1024;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)).toLower(); }

// Up to one byte past the limit; standard input stops at its first line end, as a terminal
// would otherwise wait for more.
bool readUpTo(int fd, QByteArray &out, bool firstLine, QString &problem)
{
    char buffer[4096];
    while (out.size() <= kLimit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = systemError(errno);
            return false;
        }
        if (n == 0)
            break;
        out.append(buffer, n);
        if (firstLine && out.contains('\n'))
            break;
    }
    return true;
}

} // namespace

TracksFrom readTracksFrom(const QString &path)
{
    TracksFrom r;
    const bool standardInput = path == QLatin1String("-");
    int fd = STDIN_FILENO;
    if (!standardInput) {
        // O_NONBLOCK: a FIFO opens at once (to be refused below) instead of waiting for a writer.
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            r.problem = systemError(errno);
            return r;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            r.problem = QStringLiteral("not a regular file");
        else if (st.st_size > kLimit)
            r.problem = QStringLiteral("larger than 64 KiB, too large for one record");
    }
    QByteArray content;
    if (r.problem.isEmpty())
        readUpTo(fd, content, standardInput, r.problem);
    if (!standardInput)
        ::close(fd);
    if (!r.problem.isEmpty())
        return r;
    if (content.size() > kLimit) {
        r.problem = QStringLiteral("larger than 64 KiB, too large for one record");
        return r;
    }
    const qsizetype end = content.indexOf('\n');
    QByteArray line = end < 0 ? content : content.left(end);
    if (end >= 0 && end + 1 < content.size()) {
        r.problem = QStringLiteral("more than one line: the tracks are one record t1|t2|t3");
        return r;
    }
    if (line.endsWith('\r'))
        line.chop(1);
    const QList<QByteArray> fields = line.split('|');
    if (content.isEmpty() || fields.size() != 3) {
        r.problem = QStringLiteral("%1 \"|\" where the record t1|t2|t3 holds two").arg(content.isEmpty() ? 0 : fields.size() - 1);
        return r;
    }
    for (int t = 0; t < 3; ++t)
        r.texts[size_t(t)] = QString::fromLatin1(fields[t]);
    return r;
}

QString trackName(int t) { return QStringLiteral("track%1").arg(t + 1); }

QString trackSource(int t, const QString &from)
{
    return from.isEmpty() ? QStringLiteral("--") + trackName(t) : QStringLiteral("%1: track %2").arg(from).arg(t + 1);
}

GivenTracks givenTracks(const QCommandLineParser &q)
{
    GivenTracks g;
    bool given = false;
    for (int t = 0; t < 3; ++t) {
        g.texts[size_t(t)] = q.value(trackName(t));
        given = given || q.isSet(trackName(t));
    }
    if (!q.isSet(QStringLiteral("tracks-from")))
        return g;
    if (given) {
        g.usage = true;
        g.problem = QStringLiteral("--tracks-from and --track1, --track2 or --track3 exclude each other");
        return g;
    }
    const QString path = q.value(QStringLiteral("tracks-from"));
    g.from = path == QLatin1String("-") ? QStringLiteral("standard input") : path;
    const TracksFrom read = readTracksFrom(path);
    if (!read.problem.isEmpty())
        g.problem = QStringLiteral("--tracks-from %1: %2").arg(g.from, read.problem);
    else
        g.texts = read.texts;
    return g;
}
