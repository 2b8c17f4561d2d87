#pragma once
// A link that writes every byte sent and received to a trace file, for support: one line per
// chunk with the milliseconds since the program started and the direction, flushed as written
// so the trace survives a crash. Track data is written as ".." unless the trace was asked to
// show it; commands, markers, sentinels and status bytes stay readable.
#include "device/CardDataMasker.h"
#include "device/SerialLink.h"

#include <QElapsedTimer>
#include <QFile>
#include <memory>
#include <vector>

enum class TraceCardData { Hidden, Shown };

class TraceFile {
public:
    explicit TraceFile(TraceCardData cardData = TraceCardData::Hidden) : cardData_(cardData) {}

    // Creates the file, owner-only, and writes the first line, which says whether track data is
    // shown. False when the file cannot be created; errorText() says why.
    bool open(const QString &path);
    QString errorText() const { return file_.errorString(); }
    bool showsCardData() const { return cardData_ == TraceCardData::Shown; }
    // "   1234.5 > 1B 72" (sent), "<" received, "*" an event of the port. A byte flagged in
    // `hidden` is written "..".
    void line(char direction, const QByteArray &bytes, const QString &note = {}, const std::vector<bool> &hidden = {});

private:
    TraceCardData cardData_;
    QFile file_;
    QElapsedTimer clock_;
};

class TraceLink final : public SerialLink {
public:
    // `maskers` gives each opening of the port its masker (the active dialect's); without one,
    // a trace that hides card data hides every byte.
    TraceLink(std::unique_ptr<SerialLink> inner, std::shared_ptr<TraceFile> trace, CardDataMaskerFactory maskers = {});
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
    CardDataMaskerFactory maskers_;
    std::unique_ptr<CardDataMasker> masker_;
};

// Makes the masker of a dialect's card data.
using CardDataMaskers = std::function<std::unique_ptr<CardDataMasker>(DialectId dialect)>;
// `inner`, with every link it makes traced; card data hidden by the masker of the link's dialect.
LinkFactory tracedLinks(LinkFactory inner, std::shared_ptr<TraceFile> trace, CardDataMaskers maskers = {});
