#pragma once
// Which bytes on the line are card data, for a trace that must not show them. Only a dialect
// knows where track data sits in what is sent and received, so a dialect provides the masker;
// the trace asks it about every chunk, in the order the chunks pass the link.
#include <QByteArrayView>
#include <functional>
#include <memory>
#include <vector>

class CardDataMasker {
public:
    virtual ~CardDataMasker() = default;
    // One flag per byte of the chunk, true for a byte to hide. A masker keeps what it learnt from
    // earlier chunks of both directions (a reply may come in pieces); a byte whose part cannot be
    // told yet is hidden.
    virtual std::vector<bool> sent(QByteArrayView bytes) = 0;
    virtual std::vector<bool> received(QByteArrayView bytes) = 0;
    // Asked after each chunk: whether the last byte of the last received chunk, hidden then,
    // turns out to be no card data after all (a status byte that was the whole answer, which
    // looks like the first byte of track data until the answer is known to end with it).
    virtual bool revealsLastReceived() { return false; }
};

// Makes a fresh masker for a link that has just been opened; empty, or a null masker: every
// byte is hidden.
using CardDataMaskerFactory = std::function<std::unique_ptr<CardDataMasker>()>;
