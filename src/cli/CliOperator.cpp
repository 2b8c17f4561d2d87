#include "cli/CliOperator.h"

#include "card/RawCodec.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>

bool CliOutput::line(QIODevice *device, const QByteArray &bytes)
{
    if (!device)
        return false;
    const QByteArray all = bytes + '\n';
    // One write a line, so a reader never sees half of one.
    const bool ok = device->write(all) == all.size();
    if (auto *file = qobject_cast<QFileDevice *>(device))
        file->flush();
    if (!ok && device == out_ && !failed_) {
        failed_ = true;
        note(QStringLiteral("vnt410: the results could no longer be written to standard output: ") + device->errorString());
    }
    return ok;
}

bool CliOutput::result(const QJsonObject &object, const QString &text)
{
    return line(out_, json_ ? QJsonDocument(object).toJson(QJsonDocument::Compact) : text.toUtf8());
}

void CliOutput::note(const QString &text) { line(err_, text.toUtf8()); }

QString resultWord(CardResult result) { return QString::fromLatin1(cardResultName(result)); }

void CliOperator::showPrompt(bool shown)
{
    if (shown == prompt_)
        return;
    prompt_ = shown;
    if (shown) {
        announcePrompt();
        return;
    }
    if (promptChanged)
        promptChanged(false);
}

void CliOperator::announcePrompt()
{
    const QString which = command_ == CliCommand::Copy ? (writing_ ? QStringLiteral("target ") : QStringLiteral("source "))
                                                       : QString();
    output_.note(QStringLiteral("Swipe %1card %2...").arg(which).arg(next_));
    if (promptChanged)
        promptChanged(true);
}

// The copy keeps its prompt up from the source card to the target card: a new card is asked for.
void CliOperator::showPhase(PromptPhase phase)
{
    const bool writing = phase == PromptPhase::Target;
    const bool changed = writing != writing_;
    writing_ = writing;
    if (changed && prompt_)
        announcePrompt();
}

void CliOperator::cardEnded(const CardReport &report)
{
    const bool ok = report.result == CardResult::Ok;
    if (ok && keep && !keep(report)) {
        keepFailed_ = true;
        stop();
        return;
    }
    QJsonObject object{{QStringLiteral("card"), report.card}, {QStringLiteral("result"), resultWord(report.result)}};
    QString text = QStringLiteral("card %1").arg(report.card);
    if (report.record > 0) {
        object.insert(QStringLiteral("record"), report.record);
        text += QStringLiteral(" (record %1)").arg(report.record);
    }
    text += QStringLiteral(": ") + resultWord(report.result);
    // What the card holds now, as the main window shows the tracks: "+" no data, "*" unreadable.
    const bool tracks = ok && std::any_of(report.tracks.begin(), report.tracks.end(),
                                          [](const QByteArray &t) { return !t.isEmpty(); });
    if (tracks) {
        QJsonArray list;
        for (int t = 0; t < 3; ++t) {
            QString track = QString::fromLatin1(report.tracks[size_t(t)]);
            if (rawTracks_) {
                // As the read result window shows raw codes; the encoder's "+" is no data.
                const QByteArray &raw = report.tracks[size_t(t)];
                track = raw == Iso::NoData ? QString() : QString::fromLatin1(NonIso::ToHexPairs(raw)).trimmed();
            }
            list.append(track);
            text += QStringLiteral("  T%1: ").arg(t + 1) + track;
        }
        object.insert(QStringLiteral("tracks"), list);
    }
    const bool written = output_.result(object, text);
    if (ok) {
        good_ += written ? 1 : 0;
        next_ = std::max(next_, report.card + 1);
    }
    if (output_.failed())
        stop();
}

namespace {
// The error windows' titles and texts, as one line each.
const QString kReadErrorTitle = QStringLiteral("Read Swipe Error");
const QString kNonIsoReadErrorTitle = QStringLiteral("Non-ISO Read Swipe Error");
const QString kReadErrorText = QStringLiteral("Read error!  Please try again.");
const QString kWriteErrorTitle = QStringLiteral("Write Swipe Error");
const QString kNonIsoWriteErrorTitle = QStringLiteral("Non-ISO Write Swipe Error");
const QString kWriteErrorText = QStringLiteral("Write error!  Please try again.");
const QString kEraseErrorTitle = QStringLiteral("Erase Swipe Error");
const QString kEraseErrorText = QStringLiteral("Erase error!  Please try again.");
} // namespace

void CliOperator::reportError(OperationError error)
{
    switch (error) {
    case OperationError::Read:
        output_.note((nonIso_ ? kNonIsoReadErrorTitle : kReadErrorTitle) + QStringLiteral(": ") + kReadErrorText);
        return;
    case OperationError::Write:
        output_.note((nonIso_ ? kNonIsoWriteErrorTitle : kWriteErrorTitle) + QStringLiteral(": ") + kWriteErrorText);
        return;
    case OperationError::Erase:
        output_.note(kEraseErrorTitle + QStringLiteral(": ") + kEraseErrorText);
        return;
    }
}

// As Cancel would: every wait ends at its next pass; the runner closes once run() returned.
void CliOperator::stop()
{
    if (session_)
        session_->cancel();
}
