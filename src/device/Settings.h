#pragma once
// What the operator chose in setup. Set there (and by tests), read by everyone else.
#include <QString>

namespace MainModule {

inline bool ShowMakerInTitles = true;
inline QString EmulationMode = QStringLiteral("HKD382"); // "HKD382" or "VNT-290B"
inline bool HighCoercivity = true;
inline QString CommSettings;   // e.g. "9600,n,8,1"
inline QString CommPortNumber; // "1" .. "12"
inline QString BaudText, ParityText, DataBitsText;

// The values every start begins with.
inline void ResetSettings()
{
    ShowMakerInTitles = true;
    EmulationMode = QStringLiteral("HKD382");
    HighCoercivity = true;
    CommSettings.clear();
    CommPortNumber.clear();
    BaudText.clear();
    ParityText.clear();
    DataBitsText.clear();
}

} // namespace MainModule
