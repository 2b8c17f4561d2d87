#pragma once
// Process-wide values shared by every window. Set by StartUp and the setup window,
// read by the operation windows; the wait flags are read fresh on every polling pass.
#include <QByteArray>
#include <QString>
#include <array>

namespace MainModule {

// Settings chosen in setup.
inline bool ShowMakerInTitles = true;
inline QString EmulationMode = QStringLiteral("HKD382");
inline bool HighCoercivity = true;
inline QString CommSettings;      // e.g. "9600,n,8,1"
inline QString CommPortNumber;    // "1" .. "12"
inline QString BaudText, ParityText, DataBitsText;

// Character sets of the track formats.
inline QByteArray Track7BitChars;
inline QByteArray Track5BitChars;
inline QByteArray DigitChars;
inline QByteArray HexChars;

// Wait state.
inline bool CancelRequested = false;
inline bool StopCollecting = false;
inline double WaitStart = 0.0;

// Tracks of the last ISO read, index 1..3 (index 0 unused).
inline std::array<QByteArray, 4> TrackData;

inline int EraseTrackMask = 0;
inline int IncrementTrack = 1;
inline bool IncrementCancelled = false;
inline bool NonIsoActive = false;
inline QString WriteErrorTitle;
inline std::array<QByteArray, 4> NonIsoWriteData;

inline bool isVnt290b() { return EmulationMode == QLatin1String("VNT-290B"); }

} // namespace MainModule
