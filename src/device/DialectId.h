#pragma once
// The encoder dialects by identifier, and the names the operator sees. A new dialect is one more
// identifier here and one more row of kDialects.
#include <QString>
#include <array>
#include <optional>

enum class DialectId { Hkd382, Vnt290b };

struct DialectEntry {
    DialectId id;
    const char *name; // as setup shows it and the settings store keeps it
};

inline constexpr std::array<DialectEntry, 2> kDialects{{
    {DialectId::Hkd382, "HKD382"},
    {DialectId::Vnt290b, "VNT-290B"},
}};

inline QString dialectName(DialectId id)
{
    for (const DialectEntry &d : kDialects)
        if (d.id == id)
            return QString::fromLatin1(d.name);
    return {};
}

inline std::optional<DialectId> dialectNamed(const QString &name)
{
    for (const DialectEntry &d : kDialects)
        if (name.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0)
            return d.id;
    return std::nullopt;
}
