#pragma once
// The encoder's commands by name, in both dialects; only the dialect implementations use them.
#include <QByteArray>
#include <array>

namespace Cmd {

inline QByteArray bytes(std::initializer_list<unsigned char> b)
{
    QByteArray out;
    for (unsigned char c : b)
        out.append(char(c));
    return out;
}

namespace Hkd {
inline const QByteArray Reset = bytes({0x1B, 0x61});
inline const QByteArray CommTest = bytes({0x1B, 0x65});
inline const QByteArray CommTestReply = bytes({0x1B, 0x79});
inline const QByteArray SetHighCo = bytes({0x1B, 0x78});
inline const QByteArray SetLowCo = bytes({0x1B, 0x79});
inline const QByteArray IndicatorSwipe = bytes({0x1B, 0x84});
inline const QByteArray IndicatorIdle = bytes({0x1B, 0x83});
inline const QByteArray IndicatorError = bytes({0x1B, 0x85});
inline const QByteArray IndicatorOff = bytes({0x1B, 0x81});
inline const QByteArray ReadIso = bytes({0x1B, 0x72});
inline const QByteArray WriteIso = bytes({0x1B, 0x77});          // + track data block
inline const QByteArray EraseTracks = bytes({0x1B, 0x63});       // + mask byte
inline const QByteArray SetBpiCodes = bytes({0x1B, 0x5A});       // + 3 codes
inline const QByteArray SetBpi = bytes({0x1B, 0x6A});            // + 3 densities
inline const QByteArray ReadNonIso = bytes({0x1B, 0x52});        // + 3 track codes
inline const QByteArray WriteNonIso = bytes({0x1B, 0x57});       // + non-ISO block
inline const QByteArray AbortWrite = bytes({0x6C});              // erase window only
inline const QByteArray Ok = bytes({0x1B, 0x30});                // success status
// SetBpiCodes and SetBpi parameters.
constexpr char BpiCode210 = 0x3D;
constexpr char BpiCode75 = 0x16;
constexpr char Bpi210 = char(0xD2);
constexpr char Bpi75 = 0x4B;

inline QByteArray eraseTracks(int mask) { return EraseTracks + char(mask & 0x07); }
} // namespace Hkd

namespace Vnt {
inline const QByteArray Attention = bytes({0x7F});
inline const QByteArray SetHighCo = "{";
inline const QByteArray SetLowCo = "|";
inline const QByteArray IndicatorError = "M";
inline const QByteArray IndicatorOff = "m";
inline const QByteArray PrepareRead = "L";
inline const QByteArray PrepareWrite = "(";
inline const QByteArray ReadIso = "P";
inline const std::array<QByteArray, 4> ReadTrack = {QByteArray(), "Q", "R", "S"};
inline const std::array<QByteArray, 4> WriteTrack = {QByteArray(), "A", "B", "C"};
inline const std::array<QByteArray, 4> EraseTrack = {QByteArray(), "Z", "[", "\\"};
inline const QByteArray EraseGo = "]";
inline const QByteArray WriteGo = "@";
inline const QByteArray AbortWrite = "l";
inline const QByteArray Ack = "^";
inline const QByteArray Idle = ":";
constexpr char EndOfTrack = 0x04;
// ";" + track digit + "1" (210 BPI) or "0" (75 BPI).
inline QByteArray setBpi(int track, bool high)
{
    return QByteArray(";") + char('0' + track) + (high ? '1' : '0');
}
} // namespace Vnt

} // namespace Cmd
