#pragma once
// --tracks-from: a command's three tracks as one record "t1|t2|t3" in a file or on standard
// input, so that card data never stands among the process's arguments for other users to see.
#include <QString>
#include <array>

class QCommandLineParser;

struct TracksFrom {
    std::array<QString, 3> texts; // tracks 1..3, as --track1..--track3 would give them
    QString problem;              // why nothing was taken; empty when read
};

// `path` "-" is standard input. Only a regular file is read (anything else is refused at once,
// never waited for), and at most 64 KiB: a record is small.
TracksFrom readTracksFrom(const QString &path);

// The tracks a command was given: its --track1..--track3 options, or the record of its
// --tracks-from option.
struct GivenTracks {
    std::array<QString, 3> texts;
    QString from;    // where the record came from; empty: the options
    QString problem; // why none are taken: a usage error, or a record that cannot be read
    bool usage = false;
};
GivenTracks givenTracks(const QCommandLineParser &q);

QString trackName(int t); // "track1" .. "track3", the options' names
// Where track t's text was given: its option, or the record (its file, or standard input).
QString trackSource(int t, const QString &from);
