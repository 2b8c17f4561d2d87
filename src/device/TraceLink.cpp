#include "device/TraceLink.h"

#include "device/OwnerOnlyFile.h"

bool TraceFile::open(const QString &path)
{
    clock_.start();
    // Owner-only from the first byte, written through at once so it survives a crash.
    if (!OwnerOnlyFile::create(file_, path, QIODevice::Unbuffered))
        return false;
    line('*', {}, showsCardData() ? QStringLiteral("track data shown as sent and received (--trace-card-data)")
                                  : QStringLiteral("track data hidden: each of its bytes is written as .."));
    return true;
}

void TraceFile::line(char direction, const QByteArray &bytes, const QString &note, const std::vector<bool> &hidden)
{
    if (!file_.isOpen())
        return;
    QByteArray text = QByteArray::number(double(clock_.nsecsElapsed()) / 1e6, 'f', 1).rightJustified(10);
    text += ' ';
    text += direction;
    static const char digits[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        text += ' ';
        if (size_t(i) < hidden.size() && hidden[size_t(i)]) {
            text += "..";
        } else {
            const auto b = uchar(bytes[i]);
            text += digits[b >> 4];
            text += digits[b & 0x0F];
        }
    }
    if (!note.isEmpty())
        text += ' ' + note.toUtf8();
    text += '\n';
    file_.write(text);
}

TraceLink::TraceLink(std::unique_ptr<SerialLink> inner, std::shared_ptr<TraceFile> trace, CardDataMaskerFactory maskers)
    : inner_(std::move(inner)), trace_(std::move(trace)), maskers_(std::move(maskers))
{
    newMasker();
}

// Each opening starts a new conversation: nothing learnt on the last one applies.
void TraceLink::newMasker()
{
    masker_.reset();
    if (!trace_->showsCardData() && maskers_)
        masker_ = maskers_();
}

std::vector<bool> TraceLink::hidden(const QByteArray &bytes, bool sent)
{
    if (trace_->showsCardData())
        return {};
    if (!masker_)
        return std::vector<bool>(size_t(bytes.size()), true);
    std::vector<bool> flags = sent ? masker_->sent(bytes) : masker_->received(bytes);
    flags.resize(size_t(bytes.size()), true); // a short answer hides the rest
    return flags;
}

bool TraceLink::open(int port, const QString &settings)
{
    const bool ok = inner_->open(port, settings);
    newMasker();
    droppedTraced_ = inner_->droppedBytes();
    trace_->line('*', {}, QStringLiteral("open port %1 %2: %3").arg(port).arg(settings, ok ? QStringLiteral("ok") : inner_->errorText()));
    return ok;
}

void TraceLink::close()
{
    if (inner_->isOpen())
        trace_->line('*', {}, QStringLiteral("close"));
    inner_->close();
}

bool TraceLink::write(const QByteArray &bytes)
{
    const bool ok = inner_->write(bytes);
    trace_->line('>', bytes, ok ? QString() : QStringLiteral("(not sent: %1)").arg(inner_->errorText()),
                 hidden(bytes, true));
    return ok;
}

QByteArray TraceLink::takeAll()
{
    const QByteArray bytes = inner_->takeAll();
    noteDropped();
    if (!bytes.isEmpty())
        trace_->line('<', bytes, {}, hidden(bytes, false));
    return bytes;
}

int TraceLink::pending()
{
    const int n = inner_->pending();
    noteDropped();
    return n;
}

// A flooded line: say how much input was thrown away since the last note.
void TraceLink::noteDropped()
{
    const qint64 dropped = inner_->droppedBytes();
    if (dropped == droppedTraced_)
        return;
    trace_->line('*', {}, QStringLiteral("input full: %1 bytes received and dropped").arg(dropped - droppedTraced_));
    droppedTraced_ = dropped;
}

LinkFactory tracedLinks(LinkFactory inner, std::shared_ptr<TraceFile> trace, CardDataMaskers maskers)
{
    return [inner = std::move(inner), trace, maskers](DialectId dialect) -> std::unique_ptr<SerialLink> {
        std::unique_ptr<SerialLink> link = inner ? inner(dialect) : nullptr;
        if (!link)
            return link;
        CardDataMaskerFactory forDialect;
        if (maskers)
            forDialect = [maskers, dialect] { return maskers(dialect); };
        return std::make_unique<TraceLink>(std::move(link), trace, forDialect);
    };
}
