#pragma once
// A link that writes every byte sent and received to a trace file, for support: one line per
// chunk with the milliseconds since the trace opened, the direction, the bytes in hex and as
// text, written through at once so the trace survives a crash. Track data is written as ".."
// ("#" in the text) unless the trace was asked to show it; commands, markers, sentinels and
// status bytes stay readable.
#include "device/CardDataMasker.h"
#include "device/OwnerOnlyFile.h"
#include "device/SerialLink.h"

#include <QDateTime>
#include <functional>
#include <memory>
#include <vector>

class Pacer;

enum class TraceCardData { Hidden, Shown };

class TraceFile {
public:
    // `clock`: the connection's pacer, which outlives the trace's writers.
    explicit TraceFile(const Pacer &clock, TraceCardData cardData = TraceCardData::Hidden)
        : clock_(clock), cardData_(cardData) {}

    // Creates the file, new and owner-only, and writes the first line: `program` (name and
    // version), `started` and whether track data is shown. False when the file cannot be created;
    // errorText() says why, existed() whether something was at the path already (refused:
    // a trace never replaces a file).
    bool open(const QString &path, const QString &program, const QDateTime &started = QDateTime::currentDateTime());
    QString errorText() const { return problem_; }
    bool existed() const { return exists_; }
    // Hears, once, that the trace could no longer be written ("the trace file PATH could not be
    // written: why"); the trace ends there.
    std::function<void(const QString &problem)> onFailure;
    bool failed() const { return failed_; }
    bool showsCardData() const { return cardData_ == TraceCardData::Shown; }
    // "    1234.5 > 1B 72  |.r|" (sent), "<" received, "*" an event of the port. A byte flagged
    // in `hidden` is written ".." and "#". Writes of one and the same shown byte, each within
    // 1 ms of the last, are one line: "> 00 x15  |.|".
    void line(char direction, const QByteArray &bytes, const QString &note = {}, const std::vector<bool> &hidden = {});
    // Writes the last byte of the last received line, hidden there, as it is after all; the
    // line is rewritten in place (the same length), so it keeps its place among later lines.
    void revealLastReceived();

private:
    static constexpr double kFoldGap = 0.001; // seconds
    // One line; `times` > 1: `bytes`, one byte, written that many times.
    QByteArray text(double at, char direction, QByteArrayView bytes, const std::vector<bool> &hidden, qint64 times,
                    const QString &note) const;

    void put(const QByteArray &line);

    const Pacer &clock_;
    TraceCardData cardData_;
    OwnerOnlyFile::Descriptor fd_;
    QString path_;
    QString problem_;
    bool exists_ = false;
    bool failed_ = false;
    double start_ = 0.0;
    // The last line while it may grow: a run of one byte written again and again. Folding
    // rewrites that line in place, so every write is on disk at once.
    struct Run {
        qint64 at = -1; // where its line starts; -1: no run
        char byte = 0;
        qint64 times = 0;
        double first = 0.0, last = 0.0;
    } run_;
    // The last received line's last byte, while hidden: where its hex pair and its text stand.
    struct Held {
        qint64 hex = -1, text = -1;
        char byte = 0;
    } held_;
};

class TraceLink final : public SerialLink {
public:
    // `dialect`: what the link speaks, for the line of each opening. `maskers` gives each
    // opening its masker (the dialect's); without one, a trace that hides card data hides every byte.
    TraceLink(std::unique_ptr<SerialLink> inner, std::shared_ptr<TraceFile> trace, DialectId dialect,
              CardDataMaskerFactory maskers = {});
    bool open(int port, const QString &settings) override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    bool write(const QByteArray &bytes) override;
    QByteArray takeAll() override;
    int pending() override;
    int descriptor() const override { return inner_->descriptor(); }
    qint64 droppedBytes() const override { return inner_->droppedBytes(); }
    PortError error() const override { return inner_->error(); }
    QString errorText() const override { return inner_->errorText(); }

private:
    void noteDropped();
    void newMasker();
    std::vector<bool> hidden(const QByteArray &bytes, bool sent);

    std::unique_ptr<SerialLink> inner_;
    qint64 droppedTraced_ = 0;
    std::shared_ptr<TraceFile> trace_;
    DialectId dialect_;
    CardDataMaskerFactory maskers_;
    std::unique_ptr<CardDataMasker> masker_;
};

// Makes the masker of a dialect's card data.
using CardDataMaskers = std::function<std::unique_ptr<CardDataMasker>(DialectId dialect)>;
// `inner`, with every link it makes traced; card data hidden by the masker of the link's dialect.
LinkFactory tracedLinks(LinkFactory inner, std::shared_ptr<TraceFile> trace, CardDataMaskers maskers = {});
