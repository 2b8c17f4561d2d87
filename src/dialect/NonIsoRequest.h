#pragma once
// A non-ISO read or write, as the bytes of both dialects. The non-ISO windows prepare them from
// the operator's choice; the active dialect sends its own half.
#include <QByteArray>
#include <QList>
#include <array>

struct NonIsoReadRequest {
    bool standardFormat = true;
    QByteArray command;                     // HKD382: 1B 52 and the three track selectors
    std::array<QByteArray, 3> trackReads;   // VNT-290B, after the swipe: "q1", "U6", ... per track
};

// One send of the VNT-290B write; the lead-in NULs await no answer.
struct NonIsoSend {
    QByteArray bytes;
    bool awaitAck = true;
};

struct NonIsoWriteRequest {
    bool standardFormat = true;
    QByteArray block;                       // HKD382: 1B 57 and the block
    QList<NonIsoSend> sends;                // VNT-290B: tracks with data in order, "@" last
};
