// The encode data file on any content: the whole-file check and the record taker agree line by
// line, a record taken from a checked file passes the check alone and reads back the same, and
// what a save run collects always passes the check.
#include "FuzzCheck.h"
#include "operation/EncodeDataFile.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace EncodeDataFile;
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const Check checked = check(content);
    FUZZ_CHECK(checked.ok == checked.problem.isEmpty());
    FUZZ_CHECK(!checked.problem.contains('\n'));

    RecordTaker taker(content);
    SaveCollection saved;
    QList<Record> kept;
    int taken = 0;
    bool allGood = true;
    for (;;) {
        const bool atEnd = taker.atEnd();
        Record record;
        const RecordTaker::Status status = taker.take(record);
        FUZZ_CHECK(atEnd == (status == RecordTaker::Status::End));
        if (status == RecordTaker::Status::End)
            break;
        ++taken;
        FUZZ_CHECK(taker.recordNumber() == taken && taker.lineNumber() >= taken);
        if (status == RecordTaker::Status::Malformed) {
            FUZZ_CHECK(taker.separators() != 2);
            allGood = false;
            continue;
        }
        bool fieldsGood = true;
        for (int i = 0; i < 3; ++i) {
            FUZZ_CHECK(!record.track[i].contains('\n') && !record.track[i].contains('|'));
            fieldsGood = fieldsGood && fieldProblem(i, record.track[i]).isEmpty();
        }
        allGood = allGood && fieldsGood;
        const QByteArray line = recordLine(record);
        // A record fit for the file passes the check alone and reads back the same.
        if (fieldsGood) {
            const Check alone = check(line);
            FUZZ_CHECK(alone.ok && alone.records == 1);
            FUZZ_CHECK(RecordTaker(line).next() == record);
        }
        // A save run takes a card only when it can be read back from the file.
        const bool appended = saved.append(record);
        const bool failedTrack = record.track[0] == "*" || record.track[1] == "*" || record.track[2] == "*";
        FUZZ_CHECK(appended == (fieldsGood && !failedTrack));
        if (appended)
            kept << record;
    }
    FUZZ_CHECK(checked.ok == (allGood && taken > 0));
    if (checked.ok)
        FUZZ_CHECK(checked.records == taken);

    if (!saved.isEmpty()) {
        FUZZ_CHECK(check(saved.text()).ok);
        RecordTaker again(saved.text());
        for (const Record &r : kept)
            FUZZ_CHECK(again.next() == r);
        FUZZ_CHECK(again.atEnd());
    }
    return 0;
}
