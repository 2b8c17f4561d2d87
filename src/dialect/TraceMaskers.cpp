#include "dialect/TraceMaskers.h"

#include <utility>

namespace {

constexpr char Esc = 0x1B;
constexpr char Fs = 0x1C;
constexpr char Eot = 0x04;

// A masker that decides byte by byte, in the order the bytes pass the link; a decision may look
// at the bytes after it in the same chunk (`next`).
class ByteMasker : public CardDataMasker {
public:
    std::vector<bool> sent(QByteArrayView b) final { return each(b, &ByteMasker::sentByte); }
    std::vector<bool> received(QByteArrayView b) final { return each(b, &ByteMasker::receivedByte); }

protected:
    // Whether `c` is to be hidden.
    virtual bool sentByte(char c, QByteArrayView next) = 0;
    virtual bool receivedByte(char c, QByteArrayView next) = 0;

private:
    std::vector<bool> each(QByteArrayView b, bool (ByteMasker::*hides)(char, QByteArrayView))
    {
        std::vector<bool> hide(size_t(b.size()), false);
        for (qsizetype i = 0; i < b.size(); ++i)
            hide[size_t(i)] = (this->*hides)(b[i], b.sliced(i + 1));
        return hide;
    }
};

class Hkd382Masker final : public ByteMasker {
protected:
    bool sentByte(char c, QByteArrayView next) override
    {
        bool h = false;
        switch (out_) {
        case Out::Command:
            if (c == Esc)
                out_ = Out::Esc;
            break;
        case Out::Esc:
            out_ = Out::Command;
            switch (uchar(c)) {
            case 0x77: // WriteIso
            case 0x57: // WriteNonIso
                out_ = Out::Block;
                question_ = false;
                break;
            case 0x63: // EraseTracks + mask
                params_ = 1;
                out_ = Out::Params;
                break;
            case 0x5A: // SetBpiCodes, SetBpi, ReadNonIso + three codes
            case 0x6A:
            case 0x52:
                params_ = 3;
                out_ = Out::Params;
                break;
            default:
                break;
            }
            break;
        case Out::Params:
            if (--params_ == 0)
                out_ = Out::Command;
            break;
        case Out::BlockEsc: // "s", a marker or a selector
            out_ = Out::Block;
            break;
        case Out::Block:
            // Track text holds no ESC and no FS: ESC pairs and "?" FS are the block's own.
            if (c == Esc) {
                out_ = Out::BlockEsc;
            } else if (c == Fs && question_) {
                out_ = Out::Command;
            } else if (c == '?' && !next.isEmpty()) {
                h = next.front() != Fs;
            } else {
                h = true; // text, or a "?" whose next byte is not here yet
            }
            question_ = c == '?';
            break;
        }
        return h;
    }

    bool receivedByte(char c, QByteArrayView next) override
    {
        const bool escNext = next.startsWith(Esc);
        bool h = false;
        switch (in_) {
        case In::Between:
            // Every answer outside a read reply is an ESC pair: a lone byte is noise, or
            // the rest of a reply whose start was lost.
            if (c == Esc)
                in_ = In::Esc;
            else
                h = true;
            break;
        case In::Esc:
            if (c != Esc)
                in_ = c == 's' ? In::Reply : In::Between;
            break;
        case In::Reply: // before the first marker
            if (c == Esc)
                in_ = In::ReplyEsc;
            else
                h = true;
            break;
        case In::ReplyEsc:
            if (isMarker(c)) {
                track_ = c & 0x0F;
                in_ = In::Sentinel;
            } else {
                in_ = In::Between; // the status byte ends the reply
            }
            break;
        case In::Sentinel: // the start sentinel
            if (c == Esc)
                in_ = In::ReplyEsc;
            else {
                in_ = In::Track;
                first_ = true;
            }
            break;
        case In::Track:
            if (c == Esc) {
                in_ = In::ReplyEsc;
            } else if (track_ == 3) {
                // Track 3 ends at its first "?"; a lone "+" is its mark for no data.
                if (c == '?')
                    in_ = In::Tail;
                else
                    h = !(first_ && c == '+' && next.startsWith('?'));
            } else {
                // The byte just before the next marker is the end sentinel, or "+" alone.
                h = !escNext;
            }
            first_ = false;
            break;
        case In::Tail: // after track 3: "?" FS, then ESC and the status
            if (c == Esc)
                in_ = In::ReplyEsc;
            else
                h = c != '?' && c != Fs;
            break;
        }
        return h;
    }

private:
    static bool isMarker(char c) { return (c >= 0x01 && c <= 0x03) || (c >= 0x11 && c <= 0x13); }

    enum class Out { Command, Esc, Params, Block, BlockEsc } out_ = Out::Command;
    int params_ = 0;
    bool question_ = false; // the last block byte was "?"
    enum class In { Between, Esc, Reply, ReplyEsc, Sentinel, Track, Tail } in_ = In::Between;
    int track_ = 0;
    bool first_ = false;
};

class Vnt290bMasker final : public ByteMasker {
public:
    bool revealsLastReceived() override { return std::exchange(reveal_, false); }

protected:
    bool sentByte(char c, QByteArrayView) override
    {
        // A command after a lone "+" or "*": that answer ended there, a status, not data.
        reveal_ = reveal_ || held_;
        held_ = false;
        bool h = false;
        switch (out_) {
        case Out::Params:
            if (--params_ == 0)
                out_ = Out::Command;
            break;
        case Out::Data:
            if (c == Eot)
                out_ = Out::Command;
            else
                h = c != 0; // the NUL lead-in of a raw track is no data
            break;
        case Out::Command:
            command(c);
            break;
        }
        return h;
    }

    bool receivedByte(char c, QByteArrayView next) override
    {
        bool h = false;
        held_ = false; // more of the answer: a "+" or "*" before was its first character
        if (readingTrack_) {
            h = true;
            held_ = answerStarts_ && (c == '+' || c == '*') && next.isEmpty();
            answerStarts_ = false;
        } else if (afterRead_) {
            // Bytes of a track still arriving after the next command, until its answer.
            if (c == '^' || c == ':')
                afterRead_ = false;
            else
                h = true;
        }
        if (announced_) {
            // The data message follows only an acknowledged announcement.
            if (c == '^')
                out_ = Out::Data;
            announced_ = false;
        }
        return h;
    }

private:
    void command(char c)
    {
        afterRead_ = afterRead_ || readingTrack_;
        readingTrack_ = false;
        answerStarts_ = true;
        announced_ = false;
        switch (c) {
        case 'A': case 'B': case 'C':
            announced_ = true;
            break;
        case 'a': case 'b': case 'c': case 'E': case 'F': case 'G':
            announced_ = true;
            params(1);
            break;
        case 'Q': case 'R': case 'S':
            readingTrack_ = true;
            break;
        case 'q': case 'r': case 's': case 'U': case 'V': case 'W':
            readingTrack_ = true;
            params(1);
            break;
        case ';':
            params(2);
            break;
        default:
            break;
        }
    }
    void params(int n)
    {
        params_ = n;
        out_ = Out::Params;
    }

    enum class Out { Command, Params, Data } out_ = Out::Command;
    int params_ = 0;
    bool announced_ = false;   // a track write was announced; its data follows the "^"
    bool readingTrack_ = false; // the last command asked for a track: its answer is card data
    bool afterRead_ = false;
    bool answerStarts_ = false; // no byte received since the last command
    bool held_ = false;         // the last byte received was a "+" or "*" that began a track's answer
    bool reveal_ = false;
};

} // namespace

std::unique_ptr<CardDataMasker> makeHkd382Masker() { return std::make_unique<Hkd382Masker>(); }
std::unique_ptr<CardDataMasker> makeVnt290bMasker() { return std::make_unique<Vnt290bMasker>(); }
