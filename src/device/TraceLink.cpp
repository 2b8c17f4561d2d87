#include "device/TraceLink.h"

#include "device/OwnerOnlyFile.h"

bool TraceFile::open(const QString &path)
{
    clock_.start();
    // Owner-only from the first byte, written through at once so it survives a crash.
    return OwnerOnlyFile::create(file_, path, QIODevice::Unbuffered);
}

void TraceFile::line(char direction, const QByteArray &bytes, const QString &note)
{
    if (!file_.isOpen())
        return;
    QByteArray text = QByteArray::number(double(clock_.nsecsElapsed()) / 1e6, 'f', 1).rightJustified(10);
    text += ' ';
    text += direction;
    if (!bytes.isEmpty())
        text += ' ' + bytes.toHex(' ').toUpper();
    if (!note.isEmpty())
        text += ' ' + note.toUtf8();
    text += '\n';
    file_.write(text);
}

TraceLink::TraceLink(std::unique_ptr<SerialLink> inner, std::shared_ptr<TraceFile> trace)
    : inner_(std::move(inner)), trace_(std::move(trace))
{
}

bool TraceLink::open(int port, const QString &settings)
{
    const bool ok = inner_->open(port, settings);
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
    trace_->line('>', bytes, ok ? QString() : QStringLiteral("(not sent: %1)").arg(inner_->errorText()));
    return ok;
}

QByteArray TraceLink::takeAll()
{
    const QByteArray bytes = inner_->takeAll();
    noteDropped();
    if (!bytes.isEmpty())
        trace_->line('<', bytes);
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

void traceAllLinks(std::shared_ptr<TraceFile> trace)
{
    LinkFactory inner = linkFactory();
    setLinkFactory([inner, trace]() -> std::unique_ptr<SerialLink> {
        std::unique_ptr<SerialLink> link = inner ? inner() : nullptr;
        if (!link)
            return link;
        return std::make_unique<TraceLink>(std::move(link), trace);
    });
}
