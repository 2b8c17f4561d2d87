#pragma once
// The encode data file: one record a card, track 1 "|" track 2 "|" track 3, then CR LF.
// Bytes end to end, one byte a card character, no quoting: no track can hold "|", CR or LF.
#include "device/OwnerOnlyFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QDate;
#include <array>
#include <optional>

namespace EncodeDataFile {

// The longest text each track takes (the input record's limits).
inline constexpr int MaxLength[3] = {76, 37, 104};

// One card. A field "+" (the encoder had no data on the track) is kept as it came and is
// written as no data, like an empty field.
struct Record {
    std::array<QByteArray, 3> track; // tracks 1, 2, 3
    bool operator==(const Record &) const = default;
};

// Why `field` cannot stand for track `index` (0..2) in a file; empty when it can: empty, "+",
// or text of the track's character set within its length.
QString fieldProblem(int index, QByteArrayView field);

// The record as its line, CR LF included.
QByteArray recordLine(const Record &record);

// Takes records off the front of a file's content, line by line. CR LF or a bare LF ends a
// line; an empty line is no record; a last line without a line end is a record too. A line
// is never joined with the next one.
class RecordTaker {
public:
    enum class Status { Taken, End, Malformed };

    explicit RecordTaker(QByteArray content = {});

    // The next record. Malformed: the next line has not exactly two "|" (it is passed over,
    // `separators()` tells how many it had).
    Status take(Record &record);
    // The next record, or nothing at the end. For content that passed check().
    std::optional<Record> next();

    bool atEnd() const;
    int recordNumber() const { return records_; } // of the line last taken, 1 for the first
    int lineNumber() const { return line_; }
    int separators() const { return separators_; }

    // The next non-empty line, without its line end; false at the end.
    bool nextLine(QByteArrayView &line);

private:
    QByteArray content_;
    qsizetype pos_ = 0;
    int line_ = 0;
    int records_ = 0;
    int separators_ = 0;
};

// The whole-file check made before the first card.
struct Check {
    bool ok = false;
    int records = 0;
    QString problem; // when refused: which record and why, one line
};
Check check(const QByteArray &content);

// Reads the whole file as bytes, unchecked (the encode job's check judges the content): only a
// regular file of at most OwnerOnlyFile::kReadLimit bytes is read.
struct Loaded {
    QByteArray content;
    // Not None: the file was not read, and `problem` is the reason (no such file, permission
    // denied, not a regular file, too large).
    OwnerOnlyFile::Fault fault = OwnerOnlyFile::Fault::None;
    QString problem;
    bool ok() const { return fault == OwnerOnlyFile::Fault::None; }
};
Loaded ReadEncodeDataFile(const QString &path);

enum class WriteStatus { Written, Exists, Failed };
struct WriteResult {
    WriteStatus status = WriteStatus::Failed;
    QString problem; // when failed: the reason
};
// Writes all of `content` or nothing, owner-only: an existing file stays as it was unless the
// new content was written whole. Without `replace` an existing file is left alone: Exists. Only
// the user's own regular file is replaced; a link, a folder, a device is refused at once.
WriteResult writeFile(const QString &path, const QByteArray &content, bool replace);

// The records a save run collects: the file's bytes as they grow.
class SaveCollection {
public:
    // Appends the card as one record; false, with nothing appended, when a field could not
    // be read back from the file (so a saved file always passes the check).
    bool append(const Record &record);
    const QByteArray &text() const { return text_; }
    int count() const { return count_; }
    bool isEmpty() const { return count_ == 0; }
    // The number of the card the run waits for: one more than the records collected.
    int cardNumber() const { return count_ + 1; }

private:
    QByteArray text_;
    int count_ = 0;
};

// The name the save dialog proposes, the same in every locale: "E", the date's digits as
// month, day, year (12/7/2026: 1272026) less the first two, the first four digits of the whole
// seconds since midnight, ".txt": E720264529.txt.
QString proposedSaveName(const QDate &date, double secondsSinceMidnight);

} // namespace EncodeDataFile
