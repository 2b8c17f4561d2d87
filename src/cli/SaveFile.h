#pragma once
// The file a save run adds its cards to: each good card is one record of the encode data file,
// written whole and flushed to the disk before the run goes on, so the file passes the
// encode-from-file check after every card, whatever ends the run. A new file is readable by
// its owner only (card data); an existing file is taken only to append to, and only when it is
// an encode data file itself.
#include "card/TrackBlock.h"

#include <QString>

class SaveFile {
public:
    SaveFile() = default;
    ~SaveFile();
    SaveFile(const SaveFile &) = delete;
    SaveFile &operator=(const SaveFile &) = delete;

    enum class Opened { Ok, Exists, Refused, Failed };
    // Refused: an existing file that is no encode data file (problem() says why).
    Opened open(const QString &path, bool append);
    // Adds the card as one record; false when it could not be written (problem() says why).
    bool add(const Iso::Tracks &tracks);
    QString problem() const { return problem_; }
    int added() const { return added_; }

private:
    bool writeAll(const QByteArray &bytes);
    int fd_ = -1;
    int added_ = 0;
    QString path_;
    QString problem_;
};
