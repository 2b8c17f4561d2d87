#pragma once
// The durable writer of a save run's records (the `vnt410 save` file, the windows' journal):
// each record goes down whole and is on the disk before add() returns, so the card can be
// reported as kept. A record that cannot be written whole is taken back: the file is cut to its
// last whole record and the failure returned, so the file passes the encode-from-file check
// after every card, whatever ends the run. The file follows the rules of OwnerOnlyFile.
#include "device/OwnerOnlyFile.h"
#include "operation/EncodeDataFile.h"

#include <QString>

class RecordWriter {
public:
    enum class Opened {
        Ok,
        Exists,  // a regular file is at the path and `append` was not given
        Refused, // not a file to write card data into, or no encode data file (problem() says why)
        Failed,  // the system could not open it
    };
    // A new file, owner-only; with `append`, an existing file is taken to add to when it is the
    // user's own private encode data file (a last record without its line end gets one, so the
    // next record is not joined to it).
    Opened open(const QString &path, bool append);
    // A descriptor opened for writing elsewhere (the journal's), positioned at its end.
    void adopt(OwnerOnlyFile::Descriptor fd, const QString &path);

    // The record, whole and on the disk; false when it is not (problem() says why).
    bool add(const EncodeDataFile::Record &record) { return addLine(EncodeDataFile::recordLine(record)); }
    // Any whole line, on the same terms (the journal's own first line).
    bool addLine(QByteArrayView line);

    bool isOpen() const { return fd_.isOpen(); }
    int descriptor() const { return fd_.get(); }
    void close() { fd_.reset(); }
    // "PATH: why", one line.
    QString problem() const { return problem_; }

private:
    Opened refuse(Opened status, const QString &why);

    OwnerOnlyFile::Descriptor fd_;
    QString path_;
    QString problem_;
    qint64 size_ = 0; // the file up to its last whole record
};
