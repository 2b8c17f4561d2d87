#pragma once
// Files that can hold card data (saved records, the trace, the save journal) and the files read
// for it. Written ones are their owner's alone from the moment they exist (created 0600, a umask
// can only narrow it), and the rules are checked on the opened descriptor, never on the path
// before opening: no link is followed at the last component, nothing but a regular file is
// written or read, and opening never waits (a FIFO with nobody at its far end is refused at once).
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace OwnerOnlyFile {

// The largest file read whole: a data file of this size holds some million cards.
inline constexpr qint64 kReadLimit = qint64(256) << 20;

// A descriptor that closes itself.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor &&other) noexcept : fd_(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept;
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release();
    void reset();

private:
    int fd_ = -1;
};

// Why an open was refused. The texts say it in one line, without the path.
enum class Fault {
    None,
    Missing,      // "No such file."
    Exists,       // (a new file was asked for) "Exists."
    Denied,       // "Permission denied."
    Link,         // "A symbolic link: name the file itself."
    NotRegular,   // "Not a regular file: a folder." (a FIFO, a device, a socket)
    OtherOwner,   // "Owned by another user."
    NotPrivate,   // "Other users can read or write it: make it private first (chmod 600 'PATH')."
    TooLarge,     // "Too large: more than 256 MiB, the most that is read."
    Failed,       // any other failure of the system: its own words
};

struct Opened {
    Descriptor fd;
    Fault fault = Fault::None;
    QString problem; // the reason, one line; empty when opened
    bool ok() const { return fault == Fault::None; }
};

// A new file at `path`, owner-only, for writing: O_CREAT|O_EXCL, so nothing that exists there
// (a file, a link, a FIFO) is ever opened. Its folder is pushed to the disk, so the name lasts.
Opened createNew(const QString &path);
// An existing file to add to, opened for reading and appending: the user's own regular file that
// no other user can read or write (else NotPrivate, saying how to make it private).
Opened openToAppend(const QString &path);
// A regular file to read, of at most kReadLimit bytes.
Opened openToRead(const QString &path);
// For the text of a refusal when a new file was asked for and something exists at `path`:
// Exists for a regular file, else what it is (a link, not a regular file). Looks at the path
// only to word the refusal; nothing is opened.
Opened describeExisting(const QString &path);

// All of `bytes` at the descriptor's offset (at its end when it appends), resumed after a signal;
// false with `problem` set (the system's words) on a failure.
bool writeAll(int fd, QByteArrayView bytes, QString &problem);
// The whole content of an opened regular file, at most kReadLimit bytes.
bool readAll(int fd, QByteArray &content, QString &problem);
// Pushes the data written to `fd` down to the disk.
bool sync(int fd, QString &problem);

// Writes all of `content` to `path` or leaves the path as it was: a new file is created as
// createNew() does; with `replace` an existing file is put aside only for the user's own regular
// file, by a complete copy renamed over it that is owner-only too. Without `replace` an existing
// path gives Exists. The fault and its reason on failure.
Opened saveWhole(const QString &path, const QByteArray &content, bool replace);

} // namespace OwnerOnlyFile
