// The HKD382 track data block on any bytes; and for any card tracks, the read reply the encoder
// forms parses back into exactly those tracks, and the write block built from them is taken by
// the encoder as exactly those tracks.
#include "SimHarness.h"
#include "card/TrackBlock.h"
#include "card/Validators.h"
#include "sim/HkdParser.h"

namespace {

bool fitsTrack(int index, const QByteArray &t)
{
    if (t == Iso::NoData || t == Iso::Unreadable)
        return true;
    return index == 0 ? MainModule::IsValid7BitText(t) : MainModule::IsValid5BitText(t);
}

// The read reply of the encoder for these tracks, status "0".
QByteArray readReply(const Iso::Tracks &tracks)
{
    QByteArray out("\x1bs");
    for (int i = 0; i < 3; ++i) {
        out += '\x1b';
        out += char(i + 1);
        out += i == 0 ? '%' : ';';
        out += tracks[size_t(i)];
        if (tracks[size_t(i)] != Iso::NoData)
            out += '?';
    }
    out += "?\x1c\x1b" "0";
    return out;
}

void checkWriteBlock(const Iso::Tracks &tracks)
{
    FuzzCore core;
    HkdParser parser(core);
    parser.receive(QByteArray("\x1bw") + Iso::BuildWriteBlock(tracks), 1.0);
    FUZZ_CHECK(core.replies.isEmpty());
    FUZZ_CHECK(core.pending.op == SimOperation::Write);
    for (size_t i = 0; i < 3; ++i) {
        if (Iso::HasData(tracks[i])) {
            FUZZ_CHECK(core.pending.writes[i] && core.pending.writes[i]->chars == tracks[i]);
        } else {
            FUZZ_CHECK(!core.pending.writes[i]);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    // Any bytes as a reply.
    const Iso::ParsedBlock parsed = Iso::ParseReadBlock(input);
    FUZZ_CHECK(parsed.tracks.size() <= 3);
    FUZZ_CHECK(!parsed.ok || parsed.tracks.size() == 3);
    if (parsed.ok) {
        const Iso::Tracks three = parsed.three();
        if (fitsTrack(0, three[0]) && fitsTrack(1, three[1]) && fitsTrack(2, three[2]))
            checkWriteBlock(three);
    }

    // The bytes as three tracks (split at 0xFF), each kept as it is or folded into its track's
    // character set (first byte's low bits choose).
    if (size < 1)
        return 0;
    const QList<QByteArray> parts = input.mid(1).split('\xff');
    Iso::Tracks tracks;
    for (int i = 0; i < 3; ++i) {
        QByteArray t = i < parts.size() ? parts[i] : QByteArray();
        if (data[0] & (1 << i)) {
            const QByteArray &set = i == 0 ? MainModule::Track7BitChars : MainModule::Track5BitChars;
            for (char &c : t)
                c = set[uchar(c) % set.size()];
        }
        tracks[size_t(i)] = t.isEmpty() ? Iso::NoData : t;
    }
    if (!(fitsTrack(0, tracks[0]) && fitsTrack(1, tracks[1]) && fitsTrack(2, tracks[2])))
        return 0;
    const Iso::ParsedBlock back = Iso::ParseReadBlock(readReply(tracks));
    FUZZ_CHECK(back.ok);
    FUZZ_CHECK(back.three() == tracks);
    checkWriteBlock(tracks);
    return 0;
}
