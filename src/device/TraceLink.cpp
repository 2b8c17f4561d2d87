#include "device/TraceLink.h"

#include "device/OwnerOnlyFile.h"
#include "device/Pacer.h"

#include <unistd.h>

namespace {

// Nothing hidden and every byte the same: a write that can start or continue a run.
bool oneShownByte(const QByteArray &bytes, const std::vector<bool> &hidden)
{
    if (bytes.isEmpty())
        return false;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] != bytes[0] || (size_t(i) < hidden.size() && hidden[size_t(i)]))
            return false;
    return true;
}

// "9600 baud, no parity, 8 data bits, 1 stop bit".
QString lineText(const QString &settings)
{
    const LineSettings s = parseLineSettings(settings);
    if (!s.ok)
        return QStringLiteral("line settings \"%1\"").arg(settings);
    const char *parity = s.parity == 'e' ? "even" : s.parity == 'o' ? "odd" : "no";
    return QStringLiteral("%1 baud, %2 parity, %3 data bits, %4 stop bit%5")
        .arg(s.baud)
        .arg(parity)
        .arg(s.dataBits)
        .arg(s.stopBits)
        .arg(s.stopBits == 1 ? "" : "s");
}

} // namespace

bool TraceFile::open(const QString &path, const QString &program, const QDateTime &started)
{
    start_ = clock_.now();
    run_ = {};
    // Always a new file, owner-only from the first byte, written through at once so it survives
    // a crash: no data file or link at the path is ever written over.
    OwnerOnlyFile::Opened created = OwnerOnlyFile::createNew(path);
    if (!created.ok()) {
        exists_ = created.fault == OwnerOnlyFile::Fault::Exists;
        problem_ = exists_ ? QStringLiteral("It exists: a trace is always a new file.") : created.problem;
        return false;
    }
    path_ = path;
    fd_ = std::move(created.fd);
    const QString date = started.toOffsetFromUtc(started.offsetFromUtc()).toString(Qt::ISODate);
    QString cardData = QStringLiteral("track data hidden: each of its bytes is written as .. (# in the text)");
    if (showsCardData())
        cardData = QStringLiteral("track data shown as sent and received (--trace-card-data)");
    line('*', {}, QStringLiteral("%1, trace started %2; %3").arg(program, date, cardData));
    return true;
}

void TraceFile::line(char direction, const QByteArray &bytes, const QString &note, const std::vector<bool> &hidden)
{
    if (!fd_.isOpen())
        return;
    const double at = clock_.now() - start_;
    // Hidden bytes never fold: a count would tell that the card holds the same character again.
    const bool run = direction == '>' && note.isEmpty() && oneShownByte(bytes, hidden);
    if (run && run_.at >= 0 && bytes[0] == run_.byte && at - run_.last <= kFoldGap + 1e-9
        && ::lseek(fd_.get(), run_.at, SEEK_SET) == run_.at) {
        // The count only grows, so the new line covers the old one whole.
        run_.times += bytes.size();
        run_.last = at;
        put(text(run_.first, direction, bytes.first(1), {}, run_.times, note));
        return;
    }
    run_ = {};
    if (direction == '<')
        held_ = {};
    if (direction == '<' && note.isEmpty() && !bytes.isEmpty() && size_t(bytes.size()) <= hidden.size() &&
        hidden[size_t(bytes.size() - 1)]) {
        // "... .. ..  |##|": the last hex pair and the last text character before the closing bar.
        const QByteArray out = text(at, direction, bytes, hidden, 1, note);
        const qint64 bar = qint64(::lseek(fd_.get(), 0, SEEK_CUR)) + out.lastIndexOf('|');
        held_ = {bar - bytes.size() - 5, bar - 1, bytes.back()};
        put(out);
    } else if (run) {
        run_ = {qint64(::lseek(fd_.get(), 0, SEEK_CUR)), bytes[0], bytes.size(), at, at};
        put(text(at, direction, bytes.first(1), {}, bytes.size(), note));
    } else {
        put(text(at, direction, bytes, hidden, 1, note));
    }
}

// A trace that cannot be written (a full disk) is told once and ends there; the run goes on.
void TraceFile::put(const QByteArray &line)
{
    if (OwnerOnlyFile::writeAll(fd_.get(), line, problem_))
        return;
    failed_ = true;
    fd_.reset();
    if (onFailure)
        onFailure(QStringLiteral("the trace file %1 could not be written: %2").arg(path_, problem_));
}

void TraceFile::revealLastReceived()
{
    if (held_.hex < 0 || !fd_.isOpen())
        return;
    const off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
    if (end < 0)
        return; // a trace that cannot seek keeps the byte hidden
    const auto b = uchar(held_.byte);
    static const char digits[] = "0123456789ABCDEF";
    const char hex[2] = {digits[b >> 4], digits[b & 0x0F]};
    const char shown = b >= 0x20 && b < 0x7F ? char(b) : '.';
    if (::pwrite(fd_.get(), hex, 2, off_t(held_.hex)) == 2)
        (void)!::pwrite(fd_.get(), &shown, 1, off_t(held_.text));
    held_ = {};
}

QByteArray TraceFile::text(double at, char direction, QByteArrayView bytes, const std::vector<bool> &hidden, qint64 times,
                           const QString &note) const
{
    QByteArray out = QByteArray::number(at * 1000.0, 'f', 1).rightJustified(10);
    out += ' ';
    out += direction;
    QByteArray chars;
    static const char digits[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += ' ';
        if (size_t(i) < hidden.size() && hidden[size_t(i)]) {
            out += "..";
            chars += '#';
        } else {
            const auto b = uchar(bytes[i]);
            out += digits[b >> 4];
            out += digits[b & 0x0F];
            chars += b >= 0x20 && b < 0x7F ? char(b) : '.';
        }
    }
    if (times > 1)
        out += " x" + QByteArray::number(times);
    if (!bytes.isEmpty())
        out += "  |" + chars + '|';
    if (!note.isEmpty())
        out += ' ' + note.toUtf8();
    out += '\n';
    return out;
}

TraceLink::TraceLink(std::unique_ptr<SerialLink> inner, std::shared_ptr<TraceFile> trace, DialectId dialect,
                     CardDataMaskerFactory maskers)
    : inner_(std::move(inner)), trace_(std::move(trace)), dialect_(dialect), maskers_(std::move(maskers))
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
    if (masker_->revealsLastReceived())
        trace_->revealLastReceived();
    return flags;
}

bool TraceLink::open(int port, const QString &settings)
{
    const bool ok = inner_->open(port, settings);
    newMasker();
    droppedTraced_ = inner_->droppedBytes();
    const QString outcome = ok ? QStringLiteral("ok") : inner_->errorText();
    trace_->line('*', {}, QStringLiteral("open port %1, %2, %3: %4").arg(port).arg(dialectName(dialect_), lineText(settings), outcome));
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
        return std::make_unique<TraceLink>(std::move(link), trace, dialect, forDialect);
    };
}
