#pragma once
// Test rows keyed by dialect. Every dialect of kDialects gets its rows; where the expectation
// differs, perDialect() names one value for each dialect, so a new dialect cannot slip past a
// table unnoticed (its switch warns until the new dialect has its value).
#include "device/DialectId.h"

#include <QMetaType>

Q_DECLARE_METATYPE(DialectId)

template <typename T>
T perDialect(DialectId d, T hkd382, T vnt290b)
{
    switch (d) {
    case DialectId::Hkd382:
        return hkd382;
    case DialectId::Vnt290b:
        return vnt290b;
    }
    return hkd382;
}

// "HKD382", "VNT-290B": for row names.
inline QByteArray dialectRowName(DialectId d) { return dialectName(d).toLatin1(); }
