#pragma once
// What a front end asks of the encoder: one value per kind of request. The windows, vnt410 and
// the service build a job from their own input and check it with the one check of its kind, so
// every front end refuses the same data with the same words; a session runs a checked job.
#include "card/NonIsoFormat.h"
#include "card/TrackBlock.h"
#include "operation/IncrementSeries.h"

#include <QByteArray>
#include <QString>

enum class JobKind { Test, Read, Write, Copy, Erase, Save, Encode, Incremental, NonIsoRead, NonIsoWrite };

struct Job {
    JobKind kind = JobKind::Read;
    // Good cards after which the run ends; 0: until cancelled. The series and the file have
    // their own end.
    qint64 count = 0;
    Iso::Tracks tracks{};            // Write: the tracks written onto every card
    int eraseMask = 0;             // Erase: bit 0 track 1 .. bit 2 track 3
    QByteArray records{};            // Encode: a data file's content that passed its check
    qint64 from = 1;               // Encode: the first record written, counted from 1
    Batch::IncrementSeries series{}; // Incremental
    NonIso::Selection selection{};   // NonIsoRead, NonIsoWrite
    NonIso::WriteJob nonIsoWrite{};  // NonIsoWrite
};

// Why a job's data is refused, in the words the entry windows show: a title (may be empty) and
// a text; `field` says which input is at fault (0..2: a track or entry box; -1: the job as a
// whole), so a window can give that box the focus and a command line can name its option.
struct Refusal {
    QString title;
    QString text;
    int field = -1;
};
