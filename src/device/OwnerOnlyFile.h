#pragma once
// Files that can hold card data (saved records, the trace, the save journal): readable and
// writable by their owner only from the moment they exist. The mode is given when the file is
// created (a umask can only narrow it), so there is never a moment in which another user could
// open it; a later chmod would be too late for whoever opened it in between.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace OwnerOnlyFile {

// ReadOwner | WriteOwner: 0600 on Unix.
QFileDevice::Permissions permissions();

// Opens `file` at `path` for writing, as a new owner-only file: an existing regular file (or a
// link to one) is removed first, so nothing written now reaches a descriptor opened on the old
// one. Anything else that exists (a device such as /dev/null, a pipe) is opened as it is.
// `extra`: further open flags (Unbuffered, Append). False with file.errorString() set on failure.
bool create(QFile &file, const QString &path, QIODevice::OpenMode extra = {});

// Writes all of `content` to `path` or leaves the path as it was: a QSaveFile beside it is put in
// its place only when complete. A new file is owner-only; a replaced file keeps its own mode
// (QSaveFile copies it). False with `problem` set on failure.
bool saveWhole(const QString &path, const QByteArray &content, QString &problem);

// Pushes what was written to `file` down to the disk, so a power cut keeps it. A device that
// cannot be synchronised (a terminal, /dev/null) counts as done.
bool syncToDisk(QFile &file);

} // namespace OwnerOnlyFile
