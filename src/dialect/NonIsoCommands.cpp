#include "dialect/NonIsoCommands.h"

#include "dialect/Commands.h"

namespace NonIso {

namespace {
constexpr char Esc = 0x1B;
constexpr char Eot = 0x04;

QByteArray trackLetter(const char *letters, int track, char code)
{
    QByteArray out;
    if (track >= 1 && track <= 3)
        out.append(letters[track - 1]);
    if (code)
        out.append(code);
    return out;
}
} // namespace

QByteArray Hkd382ReadCommand(const Selection &selection)
{
    QByteArray out = Cmd::Hkd::ReadNonIso;
    for (int track = 1; track <= 3; ++track)
        out.append(TrackSelector(track, FormatCode(selection.trackFormat[size_t(track - 1)])));
    return out;
}

QByteArray Hkd382WriteBlock(const WriteJob &job)
{
    QByteArray out = Cmd::Hkd::WriteNonIso;
    out.append(Esc).append('s');
    // An empty track is announced with the code of the last track before it that had data.
    char code = 0;
    for (int track = 1; track <= 3; ++track) {
        const TrackWrite &t = job.tracks[size_t(track - 1)];
        const bool data = HasData(t.data);
        if (data)
            code = FormatCode(t.item);
        out.append(Esc).append(TrackSelector(track, code));
        if (data)
            out.append(t.data);
    }
    out.append('?').append(char(0x1C));
    return out;
}

QByteArray Hkd382SetBpi(const Densities &densities)
{
    QByteArray out = Cmd::Hkd::SetBpi;
    for (Density d : densities)
        out.append(d == Density::Bpi210 ? Cmd::Hkd::Bpi210 : Cmd::Hkd::Bpi75);
    return out;
}

QByteArray Hkd382SetBpiCodes(const Densities &densities)
{
    QByteArray out = Cmd::Hkd::SetBpiCodes;
    for (Density d : densities)
        out.append(d == Density::Bpi210 ? Cmd::Hkd::BpiCode210 : Cmd::Hkd::BpiCode75);
    return out;
}

QByteArray Vnt290bReadTrack(int track, bool standardFormat, const QString &item)
{
    return standardFormat ? trackLetter("qrs", track, FormatCode(item)) : trackLetter("UVW", track, BitsDigit(item));
}

QByteArray Vnt290bWriteTrack(int track, bool standardFormat, const QString &item)
{
    return standardFormat ? trackLetter("abc", track, FormatCode(item)) : trackLetter("EFG", track, BitsDigit(item));
}

QByteArray Vnt290bSetBpi(int track, Density density)
{
    return Cmd::Vnt::setBpi(track, density == Density::Bpi210);
}

QList<Send> Vnt290bWriteSends(const WriteJob &job)
{
    QList<Send> sends;
    for (int track = 1; track <= 3; ++track) {
        const TrackWrite &t = job.tracks[size_t(track - 1)];
        if (!HasData(t.data))
            continue;
        sends.append({Vnt290bWriteTrack(track, job.standardFormat, t.item), true});
        if (!job.standardFormat)
            for (int i = LeadInCount(t.density); i > 0; --i)
                sends.append({QByteArray(1, '\0'), false});
        sends.append({t.data + Eot, true});
    }
    sends.append({Cmd::Vnt::WriteGo, true});
    return sends;
}

} // namespace NonIso
